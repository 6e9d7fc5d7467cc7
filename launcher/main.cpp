// Vanto: opens the shop shortcut lying beside the program with the desktop's
// default handler and ends at once. It shows nothing and reports nothing.
#include "inherited_state.h"
#include "start_url.h"

namespace {

constexpr const char* kShopShortcut = "Topup & Shop @ Quenvaria.URL";

}  // namespace

int main() {
    vanto::resetInheritedProcessState();
    // Whatever became of the hand-over, there is nobody to tell: the result is
    // deliberately dropped and the program always ends successfully.
    static_cast<void>(vanto::StartURL(kShopShortcut));
    return 0;
}
