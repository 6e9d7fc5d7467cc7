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

class UsbFace {
public:
    UsbFace(UsbfsDevice& device, SlotService& slot, HandlerStats& stats);

    int wakeDescriptor() const { return device_.wakeDescriptor(); }
    // Answers the CCID messages that have arrived.
    void serve();
    // Plugs or unplugs the device as asked and reports a slot change.
    void sync(bool plugged);
    // While a message is being answered: a time extension when one is due.
    void keepAlive();
    // Copies the device's ioctl count into the stats.
    void noteCounters() { stats_.ioctlsTotal = device_.counters().ioctls; }
    // Traces every message both ways to stderr.
    void setVerbose(bool on) { verbose_ = on; }

private:
    void answerOne(const Bytes& message);

    UsbfsDevice& device_;
    SlotService& slot_;
    HandlerStats& stats_;
    Bytes received_;
    std::optional<Bytes> inProgress_;
    std::chrono::steady_clock::time_point lastSign_;
    SlotView reported_;
    // One card replaced by another between two looks of the driver: the slot shows
    // empty until the driver has asked once, so that it sees the first card go.
    bool showEmpty_ = false;
    // A removal was notified and the driver has not asked for the slot status since.
    bool removalUnseen_ = false;
    bool verbose_ = false;
};

}  // namespace vreader::usb

#endif
