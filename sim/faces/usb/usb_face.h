// The reader's USB face: CCID messages from the bulk-OUT endpoint are answered
// through the slot, answers go to bulk-IN, card arrival and removal to the
// interrupt endpoint (NotifySlotChange, kept until the driver's next interrupt URB),
// and a command the chip takes long over gets time extensions meanwhile.
#ifndef VREADER_USB_FACE_H
#define VREADER_USB_FACE_H

#include <chrono>
#include <optional>

#include "faces/usb/usbfs_device.h"
#include "model/handler_stats.h"
#include "model/slot_service.h"

namespace vreader::usb {

// How often a command still at work sends a time extension: well inside the CCID
// driver's shortest read timeout.
inline constexpr std::chrono::milliseconds kTimeExtensionPeriod{500};

// How long the slot of a swapped card shows empty after the driver first saw it so.
// A chosen value: pcscd looks at the slot twice after a removal's notification (once
// before it would power the old card down, once in its event loop), and the CCID
// driver counts a card it finds present but unpowered, where it had powered one, as
// the old card still there; both looks must find the slot empty. The firmware also
// needs a poll or two to take the next tag, so a short gap is what the reader does.
inline constexpr std::chrono::milliseconds kSwapGap{200};

class UsbFace {
public:
    UsbFace(UsbfsDevice& device, SlotService& slot, HandlerStats& stats);

    int wakeDescriptor() const { return device_.wakeDescriptor(); }
    // Answers the CCID messages that have arrived.
    void serve();
    // Plugs or unplugs the device as asked and reports a slot change.
    void sync(bool plugged);
    // How long until sync() has a change to report that no message or field change
    // will prompt (the new card of a swap); nothing when none is due.
    std::optional<std::chrono::milliseconds> nextSyncDue() const;
    // While a message is being answered: a time extension when one is due.
    void keepAlive();
    // Copies the device's ioctl count into the stats.
    void noteCounters() { stats_.ioctlsTotal = device_.counters().ioctls; }
    // Traces every message both ways to stderr.
    void setVerbose(bool on) { verbose_ = on; }

private:
    void answerOne(const Bytes& message);
    void notify(bool cardIn);

    UsbfsDevice& device_;
    SlotService& slot_;
    HandlerStats& stats_;
    Bytes received_;
    std::optional<Bytes> inProgress_;
    std::chrono::steady_clock::time_point lastSign_;
    // What the driver has been shown beyond the slot's true state.
    enum class Shown {
        // The slot as it is (as of reported_).
        Truly,
        // A removal was notified and the driver has not asked for the slot status since.
        RemovalUnlooked,
        // One card took the place of another between two looks of the driver: the slot
        // shows empty until the driver has looked and kSwapGap has passed, then the
        // new card arrives with a notification of its own.
        EmptyForSwap,
    };
    SlotView reported_;
    Shown shown_ = Shown::Truly;
    // Set at the driver's first look at the empty slot of a swap.
    std::optional<std::chrono::steady_clock::time_point> swapShownUntil_;
    bool verbose_ = false;
};

}  // namespace vreader::usb

#endif
