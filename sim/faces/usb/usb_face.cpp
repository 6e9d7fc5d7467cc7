#include "faces/usb/usb_face.h"

#include "faces/usb/ccid_messages.h"

#include <cstdio>

namespace vreader::usb {

UsbFace::UsbFace(UsbfsDevice& device, SlotService& slot, HandlerStats& stats)
    : device_(device), slot_(slot), stats_(stats), reported_(slot.view()) {}

void UsbFace::serve() {
    for (const Bytes& chunk : device_.takeBulkOut()) received_.insert(received_.end(), chunk.begin(), chunk.end());
    // A transfer carries whole messages; one cut short waits for the rest.
    while (const auto length = ccid::messageLength(received_)) {
        if (received_.size() < *length) break;
        const Bytes message(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(*length));
        received_.erase(received_.begin(), received_.begin() + static_cast<std::ptrdiff_t>(*length));
        answerOne(message);
    }
}

void UsbFace::answerOne(const Bytes& message) {
    if (message[0] == ccid::kGetSlotStatus) ++stats_.cardStateQueries;
    inProgress_ = message;
    lastSign_ = std::chrono::steady_clock::now();
    if (verbose_) std::fprintf(stderr, "virtual-acr122u: > %s\n", formatHex(message).c_str());
    const bool empty = showEmpty_ && message[0] == ccid::kGetSlotStatus;
    if (empty) showEmpty_ = false;
    if (message[0] == ccid::kGetSlotStatus) removalUnseen_ = false;
    Bytes reply = empty ? ccid::slotStatusAnswer(message, SlotView{}) : ccid::answer(message, slot_);
    inProgress_.reset();
    if (verbose_) std::fprintf(stderr, "virtual-acr122u: < %s\n", formatHex(reply).c_str());
    device_.sendBulkIn(std::move(reply));
}

void UsbFace::keepAlive() {
    if (!inProgress_ || std::chrono::steady_clock::now() - lastSign_ < kTimeExtensionPeriod) return;
    device_.sendBulkIn(ccid::timeExtension(*inProgress_, slot_.view()));
    ++stats_.timeExtensions;
    if (verbose_) std::fprintf(stderr, "virtual-acr122u: < time extension\n");
    lastSign_ = std::chrono::steady_clock::now();
}

// The driver learns of a new card or of one gone only from NotifySlotChange; a
// change not yet fetched is replaced by the newer state (bit 1 says "changed").
void UsbFace::sync(bool plugged) {
    if (plugged != device_.plugged()) {
        if (plugged) {
            device_.plug();
        } else {
            device_.unplug();
        }
        reported_ = slot_.view();
        showEmpty_ = false;
        return;
    }
    const SlotView now = slot_.view();
    if (showEmpty_) return;
    // A card put in before the driver looked at the slot after the last one left (or
    // in place of one it still believes there): the slot shows empty at its next look,
    // then the new card arrives with a notification of its own. Merged into one
    // "present, changed", the CCID driver would report the first card gone at that look
    // and then wait for a change that never comes.
    const bool replaced = now.present && reported_.present && now.cardNumber != reported_.cardNumber;
    if (replaced || (now.present && !reported_.present && removalUnseen_)) {
        if (replaced) device_.setInterruptMessage(ccid::slotChange(false));
        removalUnseen_ = true;
        showEmpty_ = true;
        reported_ = SlotView{};
        return;
    }
    if (now.present != reported_.present || now.cardNumber != reported_.cardNumber) {
        device_.setInterruptMessage(ccid::slotChange(now.present));
        removalUnseen_ = !now.present;
        if (verbose_) std::fprintf(stderr, "virtual-acr122u: slot change, card %s\n", now.present ? "in" : "out");
        reported_ = now;
    }
}

}  // namespace vreader::usb
