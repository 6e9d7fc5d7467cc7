// What the virtual ACR122U tells the USB host about itself: the device and
// configuration descriptors (with the CCID class descriptor of its PICC interface),
// its strings, and the sysfs records through which libudev and libusb find it.
#ifndef VREADER_USB_DESCRIPTORS_H
#define VREADER_USB_DESCRIPTORS_H

#include <cstdint>
#include <optional>
#include <string>

#include "model/hex_bytes.h"

namespace vreader::usb {

inline constexpr std::uint16_t kVendorId = 0x072F;
inline constexpr std::uint16_t kProductId = 0x2200;
// Release 2.15, as the model's firmware string ACR122U215 says; the CCID driver
// refuses this reader below 2.06.
inline constexpr std::uint16_t kDeviceRelease = 0x0215;

inline constexpr std::uint8_t kInterruptIn = 0x81;
inline constexpr std::uint8_t kBulkOut = 0x02;
inline constexpr std::uint8_t kBulkIn = 0x82;

inline constexpr const char* kManufacturer = "ACS";
inline constexpr const char* kProduct = "ACR122U PICC Interface";

// Where the device sits in the testbed's /sys and /dev.
inline constexpr const char* kDeviceSysPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1";
inline constexpr const char* kInterfaceSysPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0";
inline constexpr const char* kDeviceNode = "/dev/bus/usb/001/002";

Bytes deviceDescriptor();
// The whole configuration: configuration, interface, CCID class and endpoint
// descriptors, as GET_DESCRIPTOR(CONFIGURATION) returns it.
Bytes configurationDescriptor();
// String descriptor index: 0 the language list, 1 the manufacturer, 2 the product;
// nothing for others (the reader has no serial number string).
std::optional<Bytes> stringDescriptor(std::uint8_t index);

// The udev records (umockdev's text format) of the device and its interface.
std::string deviceRecord();
std::string interfaceRecord();

}  // namespace vreader::usb

#endif
