// Through the real pcscd with the demo scenario: the field, cards and the reader
// changed while the host talks to them. Each test runs against its own pcscd.
#include <chrono>
#include <cstdio>
#include <thread>

#include "e2e_test_support.h"

namespace vreader::e2e {
namespace {

using DemoFaults = ConnectedTest;

TEST_F(DemoFaults, RfFieldOffSilencesTheCardUntilTheNextPoll) {
    EXPECT_EQ(chipHex(kListTypeB).substr(0, 8), "D5 4B 01");
    EXPECT_EQ(chipHex(kRfFieldOff), "D5 33");
    EXPECT_EQ(chipHex(kTypeBReadBinary), "D5 41 01");
    EXPECT_EQ(chipHex(kListTypeB).substr(0, 8), "D5 4B 01");
    EXPECT_EQ(chipHex(kTypeBReadBinary), "D5 41 00 6A 82");
    EXPECT_EQ(chipHex(kRfFieldOff), "D5 33");
    EXPECT_EQ(chipHex(kRfFieldOn), "D5 33");
    EXPECT_EQ(chipHex(kAutoPollLibraryTypes).substr(0, 8), "D5 61 02");
}

TEST_F(DemoFaults, CardRemovedAfterPollingGivesTheChipsTimeout) {
    EXPECT_EQ(chipHex(kListTypeB).substr(0, 8), "D5 4B 01");
    EXPECT_EQ(control("remove typeb"), "ok");
    EXPECT_EQ(chipHex(kTypeBReadBinary), "D5 41 01");
    EXPECT_EQ(chipHex(kAutoPollLibraryTypes).substr(0, 14), "D5 61 01 11 15");
    EXPECT_EQ(control("insert typeb"), "ok");
    EXPECT_EQ(chipHex(kAutoPollLibraryTypes).substr(0, 14), "D5 61 02 23 0F");
}

TEST_F(DemoFaults, TimeoutFaultUntilCleared) {
    EXPECT_EQ(chipHex(kListTypeB).substr(0, 8), "D5 4B 01");
    EXPECT_EQ(control("fault timeout"), "ok");
    EXPECT_EQ(chipHex(kTypeBReadBinary), "D5 41 01");
    EXPECT_EQ(control("fault clear"), "ok");
    EXPECT_EQ(chipHex(kTypeBReadBinary), "D5 41 00 6A 82");
}

TEST_F(DemoFaults, CardVanishesBetweenPollingAndExchange) {
    EXPECT_EQ(control("fault vanish-after-poll"), "ok");
    EXPECT_EQ(chipHex(kListTypeB).substr(0, 8), "D5 4B 01");
    EXPECT_EQ(chipHex(kTypeBReadBinary), "D5 41 01");
    // The Type B card has left; the FeliCa card is still there.
    EXPECT_NE(control("status").find(" field=felica "), std::string::npos);
}

TEST_F(DemoFaults, SlowAnswerHoldsTheReplyBack) {
    EXPECT_EQ(control("fault slow 120"), "ok");
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(chipHex(kGetFirmwareVersion), "D5 03 32 01 06 07");
    // One command under T=1, held back on the reader's clock.
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(120));
}

// A card slower than the CCID driver's read timeout: the reader keeps the driver
// waiting with time extensions, and its program keeps serving control commands.
TEST_F(DemoFaults, SlowCardBeyondTheDriversTimeoutIsAnsweredThroughTimeExtensions) {
    EXPECT_EQ(control("fault slow 4000"), "ok");
    std::string statusMeanwhile;
    std::chrono::steady_clock::duration statusTook{};
    std::thread controller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        const auto asked = std::chrono::steady_clock::now();
        statusMeanwhile = control("status");
        statusTook = std::chrono::steady_clock::now() - asked;
    });
    EXPECT_EQ(chipHex(kGetFirmwareVersion), "D5 03 32 01 06 07");
    controller.join();
    EXPECT_EQ(statusMeanwhile.rfind("ok attached=yes", 0), 0u) << statusMeanwhile;
    EXPECT_LT(statusTook, std::chrono::milliseconds(1000)) << "the control channel waited behind the card";
    const std::string stats = control("stats");
    EXPECT_EQ(stats.find(" time_extensions=0"), std::string::npos) << stats;
}

TEST_F(DemoFaults, ReaderThatDisappearsFailsTransmitsUntilItIsBack) {
    EXPECT_EQ(chipHex(kGetFirmwareVersion), "D5 03 32 01 06 07");
    EXPECT_EQ(control("drop"), "ok");
    // The driver and pcscd learn of the lost reader asynchronously: a transmit already on
    // its way may still be answered, but the next ones must fail.
    bool failed = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!failed && std::chrono::steady_clock::now() < deadline)
        failed = session.transmit(H("FF 00 00 00 02 D4 02"), 4).result != SCARD_S_SUCCESS;
    EXPECT_TRUE(failed) << "transmits still answered 3 s after the reader dropped";
    // The USB device is gone: pcscd drops the reader on udev's remove event, and adds
    // it again on the add event of the replug.
    EXPECT_TRUE(session.waitForReader(false, std::chrono::seconds(5)));
    EXPECT_EQ(control("attach"), "ok");
    const auto plugged = std::chrono::steady_clock::now();
    EXPECT_TRUE(session.waitForReader(true, std::chrono::seconds(10)));
    EXPECT_TRUE(session.waitForCard(true, std::chrono::seconds(5)));
    std::printf("observed: reader and card back %.0f ms after the replug\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - plugged).count());
    ASSERT_EQ(session.connect(), SCARD_S_SUCCESS);
    EXPECT_EQ(chipHex(kGetFirmwareVersion), "D5 03 32 01 06 07");
}

// With tag presence: the host switches the RF field off and on (as PN532 software
// does when it opens the reader) with a tag on the reader. The card goes idle and
// answers again once polled; pcscd sees no card event, so the session holds.
using TagFaults = ConnectedTest;

TEST_F(TagFaults, HostFieldCycleKeepsTheCardSession) {
    const DWORD events = session.cardEvents();
    EXPECT_EQ(chipHex(kRfFieldOff), "D5 33");
    EXPECT_EQ(chipHex(kRfFieldOn), "D5 33");
    EXPECT_EQ(chipHex(kListTypeB).substr(0, 8), "D5 4B 01");
    EXPECT_EQ(chipHex(kTypeBReadBinary), "D5 41 00 6A 82");
    EXPECT_EQ(session.cardEvents(), events);
    EXPECT_EQ(control("remove typeb"), "ok");
    EXPECT_TRUE(session.waitForCard(false, std::chrono::seconds(5))) << "a card that leaves ends it";
}

}  // namespace
}  // namespace vreader::e2e
