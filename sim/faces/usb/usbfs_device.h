// The virtual ACR122U as a USB device node: a umockdev testbed holds its sysfs
// records and /dev/bus/usb node, and answers the usbfs ioctls (URB submit, reap and
// discard, interface claim and release, capabilities) that libusb sends for pcscd's
// CCID driver. Only the plumbing lives here: CCID messages go in and out as bytes,
// through queues the program's thread fills and empties.
//
// The ioctls arrive on umockdev's worker thread; every queue shared with the
// program's thread is guarded by one lock. A URB's memory in the client is touched
// only while that client is inside an ioctl: an IN URB gets its bytes when reaped.
#ifndef VREADER_USBFS_DEVICE_H
#define VREADER_USBFS_DEVICE_H

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/hex_bytes.h"

namespace vreader::usb {

struct UsbfsCounters {
    std::uint64_t ioctls = 0;
    std::uint64_t emptyReaps = 0;
    std::uint64_t urbs = 0;
};

class UsbfsDevice {
public:
    // Makes the testbed (under TMPDIR) with the reader plugged in; throws
    // std::runtime_error when umockdev refuses.
    UsbfsDevice();
    ~UsbfsDevice();
    UsbfsDevice(const UsbfsDevice&) = delete;
    UsbfsDevice& operator=(const UsbfsDevice&) = delete;

    // The folder to hand to umockdev's preload library as UMOCKDEV_DIR.
    std::string testbedRoot() const;

    // Readable while bulk-OUT transfers wait in takeBulkOut().
    int wakeDescriptor() const;
    // The bytes of the bulk-OUT transfers received since the last call, in order.
    std::vector<Bytes> takeBulkOut();
    // Queues bytes for the next bulk-IN URB.
    void sendBulkIn(Bytes bytes);
    // Sets the message the next interrupt-IN URB carries, replacing one not yet sent.
    void setInterruptMessage(Bytes bytes);

    // USB unplug (udev "remove"; URBs in flight end with "no device") and plug.
    void unplug();
    void plug();
    bool plugged() const;

    UsbfsCounters counters() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace vreader::usb

#endif
