#include "faces/usb/usb_descriptors.h"

#include <cstdio>

namespace vreader::usb {

namespace {

Bytes little16(std::uint16_t value) {
    return {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)};
}

Bytes little32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// The CCID class descriptor of the ACR122U's PICC interface (CCID 1.1 section 5.1),
// with the values the CCID driver project's public reader list gives for it: T=1
// only, 4 MHz clock, 10752 to 250000 bit/s, IFSD 256, automatic parameter
// negotiation and short APDU level exchange, messages up to 271 bytes, one slot.
Bytes ccidClassDescriptor() {
    return join({
        {0x36, 0x21},                 // bLength 54, CCID functional descriptor
        little16(0x0100),             // bcdCCID 1.00
        {0x00},                       // bMaxSlotIndex
        {0x07},                       // bVoltageSupport: 5 V, 3 V, 1.8 V
        little32(0x00000002),         // dwProtocols: T=1
        little32(4000),               // dwDefaultClock, kHz
        little32(4000),               // dwMaximumClock
        {0x00},                       // bNumClockSupported
        little32(10752),              // dwDataRate, bit/s
        little32(250000),             // dwMaxDataRate
        {0x00},                       // bNumDataRatesSupported
        little32(256),                // dwMaxIFSD
        little32(0),                  // dwSynchProtocols
        little32(0),                  // dwMechanical
        little32(0x00020040),         // dwFeatures
        little32(271),                // dwMaxCCIDMessageLength
        {0x00, 0x00},                 // bClassGetResponse, bClassEnvelope
        little16(0),                  // wLcdLayout
        {0x00},                       // bPINSupport
        {0x01},                       // bMaxCCIDBusySlots
    });
}

// Endpoint numbers and sizes, interval, power and bcdUSB are not in the reader list:
// chosen here as a full-speed CCID device has them (interrupt-in 8 bytes every 10 ms,
// bulk 64 bytes, bus powered 100 mA).
Bytes endpoints() {
    return {
        7, 5, kInterruptIn, 0x03, 8, 0, 10,  // interrupt
        7, 5, kBulkOut, 0x02, 64, 0, 0,      // bulk
        7, 5, kBulkIn, 0x02, 64, 0, 0,       // bulk
    };
}

std::string hexWithoutSpaces(const Bytes& bytes) {
    std::string text;
    char digits[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(digits, sizeof digits, "%02x", b);
        text += digits;
    }
    return text;
}

std::string fourHex(std::uint16_t value) {
    char text[5];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string productLine() {
    char text[40];
    std::snprintf(text, sizeof text, "%x/%x/%x", kVendorId, kProductId, kDeviceRelease);
    return text;
}

}  // namespace

Bytes deviceDescriptor() {
    return join({
        {18, 0x01},
        little16(0x0110),             // bcdUSB 1.10 (chosen)
        {0x00, 0x00, 0x00},           // class given per interface
        {16},                         // bMaxPacketSize0 (chosen)
        little16(kVendorId), little16(kProductId), little16(kDeviceRelease),
        {1, 2, 0},                    // iManufacturer, iProduct, no serial number
        {1},                          // bNumConfigurations
    });
}

Bytes configurationDescriptor() {
    const Bytes interface{9, 0x04, 0, 0, 3, 0x0B, 0x00, 0x00, 0};  // 3 endpoints, class CCID
    const Bytes body = join({interface, ccidClassDescriptor(), endpoints()});
    const auto total = static_cast<std::uint16_t>(9 + body.size());
    return join({{9, 0x02}, little16(total), {1, 1, 0, 0x80, 50}, body});
}

std::optional<Bytes> stringDescriptor(std::uint8_t index) {
    if (index == 0) return Bytes{4, 0x03, 0x09, 0x04};  // US English
    const char* text = index == 1 ? kManufacturer : index == 2 ? kProduct : nullptr;
    if (!text) return std::nullopt;
    Bytes descriptor{0, 0x03};
    for (const char* c = text; *c != '\0'; ++c) {
        descriptor.push_back(static_cast<std::uint8_t>(*c));
        descriptor.push_back(0);
    }
    descriptor[0] = static_cast<std::uint8_t>(descriptor.size());
    return descriptor;
}

std::string deviceRecord() {
    const std::string product = productLine();
    return std::string("P: ") + (kDeviceSysPath + 4) + "\n" +
           "N: bus/usb/001/002\n"
           "E: DEVNAME=" + kDeviceNode + "\n"
           "E: DEVTYPE=usb_device\nE: DRIVER=usb\n"
           "E: PRODUCT=" + product + "\n"
           "E: TYPE=0/0/0\nE: BUSNUM=001\nE: DEVNUM=002\nE: MAJOR=189\nE: MINOR=1\nE: SUBSYSTEM=usb\n"
           "A: idVendor=" + fourHex(kVendorId) + "\n"
           "A: idProduct=" + fourHex(kProductId) + "\n"
           "A: bcdDevice=" + fourHex(kDeviceRelease) + "\n"
           "A: busnum=1\nA: devnum=2\nA: speed=12\nA: bConfigurationValue=1\nA: bNumConfigurations=1\n"
           "A: bNumInterfaces= 1\nA: bDeviceClass=00\nA: bMaxPacketSize0=16\n"
           "A: manufacturer=" + kManufacturer + "\n"
           "A: product=" + kProduct + "\n"
           "A: dev=189:1\n"
           "H: descriptors=" + hexWithoutSpaces(join({deviceDescriptor(), configurationDescriptor()})) + "\n\n";
}

// pcscd's hotplug adds a reader for a CCID interface, not for the device alone.
std::string interfaceRecord() {
    char modalias[80];
    std::snprintf(modalias, sizeof modalias, "usb:v%04Xp%04Xd%04Xdc00dsc00dp00ic0Bisc00ip00in00", kVendorId,
                  kProductId, kDeviceRelease);
    return std::string("P: ") + (kInterfaceSysPath + 4) + "\n" +
           "E: DEVTYPE=usb_interface\n"
           "E: PRODUCT=" + productLine() + "\n"
           "E: TYPE=0/0/0\nE: INTERFACE=11/0/0\n"
           "E: MODALIAS=" + modalias + "\n"
           "E: SUBSYSTEM=usb\n"
           "A: bInterfaceNumber=00\nA: bAlternateSetting= 0\nA: bNumEndpoints=03\n"
           "A: bInterfaceClass=0b\nA: bInterfaceSubClass=00\nA: bInterfaceProtocol=00\n\n";
}

}  // namespace vreader::usb
