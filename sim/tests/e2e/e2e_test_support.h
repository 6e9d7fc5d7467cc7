// Shared pieces of the end-to-end tests: a connected session and named commands.
#ifndef VREADER_E2E_TEST_SUPPORT_H
#define VREADER_E2E_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include "pcsc_session.h"

namespace vreader::e2e {

inline Bytes H(const std::string& hex) {
    const auto bytes = parseHex(hex);
    if (!bytes) throw std::invalid_argument("bad hex in test: " + hex);
    return *bytes;
}

// The chip commands the reader library sends, and a few more.
inline const Bytes kGetFirmwareVersion = H("D4 02");
inline const Bytes kRfFieldOff = H("D4 32 01 00");
inline const Bytes kRfFieldOn = H("D4 32 01 01");
inline const Bytes kReleaseAll = H("D4 52 00");
inline const Bytes kListTypeB = H("D4 4A 01 03 00");
inline const Bytes kListFeliCa212 = H("D4 4A 01 01 00 FF FF 01 00");
inline const Bytes kAutoPollLibraryTypes = H("D4 60 01 01 23 11 12 20 10");
inline const Bytes kTypeBReadBinary = H("D4 40 01 00 B0 00 00 00");

// Every test starts connected to the first reader, as the library would be.
class ConnectedTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(session.reader().find("ACR122U"), std::string::npos) << session.reader();
        ASSERT_EQ(session.connect(), SCARD_S_SUCCESS);
    }
    std::string chipHex(const Bytes& frame) { return formatHex(session.chip(frame)); }

    PcscSession session;
};

}  // namespace vreader::e2e

#endif
