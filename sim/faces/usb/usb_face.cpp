#include "faces/usb/usb_face.h"

#include "faces/usb/ccid_messages.h"

#include <algorithm>
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
    const bool statusQuery = message[0] == ccid::kGetSlotStatus;
    if (statusQuery) ++stats_.cardStateQueries;
    inProgress_ = message;
    lastSign_ = std::chrono::steady_clock::now();
    if (verbose_) std::fprintf(stderr, "virtual-acr122u: > %s\n", formatHex(message).c_str());
    const bool showEmpty = statusQuery && shown_ == Shown::EmptyForSwap;
    if (showEmpty && !swapShownUntil_) swapShownUntil_ = lastSign_ + kSwapGap;
    if (statusQuery && shown_ == Shown::RemovalUnlooked) shown_ = Shown::Truly;
    Bytes reply = showEmpty ? ccid::slotStatusAnswer(message, SlotView{}) : ccid::answer(message, slot_);
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
        shown_ = Shown::Truly;
        swapShownUntil_.reset();
        return;
    }
    if (shown_ == Shown::EmptyForSwap) {
        if (!swapShownUntil_ || std::chrono::steady_clock::now() < *swapShownUntil_) return;
        shown_ = Shown::Truly;  // reported_ is the empty slot the driver saw
        swapShownUntil_.reset();
    }
    const SlotView now = slot_.view();
    // A card put in before the driver looked at the slot after the last one left (or
    // in place of one it still believes there). Merged into one "present, changed",
    // the CCID driver would take the new card for the old one: the slot shows empty
    // first (see kSwapGap), then the new card arrives.
    const bool replaced = now.present && reported_.present && now.cardNumber != reported_.cardNumber;
    if (replaced || (now.present && !reported_.present && shown_ == Shown::RemovalUnlooked)) {
        if (replaced) notify(false);
        shown_ = Shown::EmptyForSwap;
        reported_ = SlotView{};
        return;
    }
    if (now.present != reported_.present || now.cardNumber != reported_.cardNumber) {
        notify(now.present);
        shown_ = now.present ? Shown::Truly : Shown::RemovalUnlooked;
        reported_ = now;
    }
}

void UsbFace::notify(bool cardIn) {
    device_.setInterruptMessage(ccid::slotChange(cardIn));
    if (verbose_) std::fprintf(stderr, "virtual-acr122u: slot change, card %s\n", cardIn ? "in" : "out");
}

std::optional<std::chrono::milliseconds> UsbFace::nextSyncDue() const {
    if (shown_ != Shown::EmptyForSwap || !swapShownUntil_) return std::nullopt;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*swapShownUntil_ - std::chrono::steady_clock::now());
    return std::max(left, std::chrono::milliseconds{0});
}

}  // namespace vreader::usb
