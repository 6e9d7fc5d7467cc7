// Shared by the reader library's tests: a fixture that starts every test on a fresh
// PC/SC double and helpers that compare the traffic on the wire as hex.
#ifndef QVR_ACR122_WIRE_TEST_SUPPORT_H
#define QVR_ACR122_WIRE_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "pcsc_double.h"

// Parameterised cases print as their name, not as a dump of their bytes.
#define PRINTS_AS_ITS_NAME(Case) \
    [[maybe_unused]] inline void PrintTo(const Case& value, std::ostream* os) { *os << value.name; }

namespace wire {

using pcsc_double::Bytes;
using pcsc_double::hex;
using pcsc_double::hexOf;

// One expected transmit: the bytes as hex and the receive capacity given.
struct Sent {
    std::string bytes;
    DWORD capacity;
};

inline void answer(const std::string& reply) { pcsc_double::replyWith(hex(reply)); }

// Asserts the whole list of transmits, in order, each with the protocol control
// information of the protocol (T=0 unless told) and no receive protocol information.
inline void expectWire(const std::vector<Sent>& expected, DWORD protocol = SCARD_PROTOCOL_T0) {
    const auto& actual = pcsc_double::transmits();
    ASSERT_EQ(actual.size(), expected.size()) << "number of transmits";
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(hexOf(actual[i].sent), hexOf(hex(expected[i].bytes))) << "transmit " << i;
        EXPECT_EQ(actual[i].capacity, expected[i].capacity) << "capacity of transmit " << i;
        const bool rightPci = protocol == SCARD_PROTOCOL_T1 ? actual[i].t1Pci : actual[i].t0Pci;
        EXPECT_TRUE(rightPci) << "transmit " << i << " without the protocol information of " << protocol;
        EXPECT_TRUE(actual[i].noReceivePci) << "transmit " << i;
    }
}

// Sets (or, with nullptr, removes) an environment variable of this process.
inline void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

inline void expectNothingSent() { EXPECT_TRUE(pcsc_double::transmits().empty()); }

inline std::string hexPrefix(const std::uint8_t* buffer, std::size_t count) {
    return hexOf(Bytes(buffer, buffer + count));
}

class WireTest : public ::testing::Test {
protected:
    void SetUp() override { pcsc_double::reset(); }
    void TearDown() override { pcsc_double::reset(); }
};

}  // namespace wire

#endif
