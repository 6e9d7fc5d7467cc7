// Vanto: opens the shop shortcut lying beside the program with the desktop's
// default handler and ends at once. It shows nothing and reports nothing.
#include "start_url.h"

#include <csignal>

namespace {

constexpr const char* kShopShortcut = "Topup & Shop @ Quenvaria.URL";

}  // namespace

int main() {
    // An inherited "ignore SIGCHLD" would make the kernel reap our helper child
    // behind our back; the default keeps the hand-over's bookkeeping exact.
    std::signal(SIGCHLD, SIG_DFL);
    // Whatever became of the hand-over, there is nobody to tell: the result is
    // deliberately dropped and the program always ends successfully.
    static_cast<void>(StartURL(kShopShortcut));
    return 0;
}
