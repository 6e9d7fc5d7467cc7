// The virtual ACR122U as PC/SC clients meet it through pcscd and the system's CCID
// driver (libccid), with an empty field at start: one reader named as on hardware,
// the CCID escape (function 1) without a card, the PC/SC part 10 feature list, card
// arrival and removal through NotifySlotChange, the reader model's ATR, and T=1 only.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "e2e_test_support.h"
#include "program/virtual_reader.h"

namespace vreader::e2e {
namespace {

using namespace std::chrono_literals;

// SCARD_CTL_CODE of pcsc-lite's reader.h.
constexpr DWORD controlCode(DWORD code) { return 0x42000000 + code; }

const Bytes kFirmwareVersionWhole = H("D5 03 32 01 06 07 90 00");
const Bytes kDirectFirmwareVersion = H("FF 00 00 00 02 D4 02");

class Driver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context), SCARD_S_SUCCESS);
    }
    void TearDown() override {
        if (card != 0) SCardDisconnect(card, SCARD_LEAVE_CARD);
        SCardReleaseContext(context);
    }

    std::vector<std::string> readers() const {
        DWORD size = 0;
        std::vector<std::string> names;
        if (SCardListReaders(context, nullptr, nullptr, &size) != SCARD_S_SUCCESS) return names;
        std::vector<char> all(size);
        if (SCardListReaders(context, nullptr, all.data(), &size) != SCARD_S_SUCCESS) return names;
        for (const char* name = all.data(); *name != '\0'; name += std::strlen(name) + 1) names.emplace_back(name);
        return names;
    }
    // A card keeps the protocol it was given until it is reset.
    LONG connect(DWORD share, DWORD protocols) {
        if (card != 0) SCardDisconnect(card, SCARD_RESET_CARD);
        card = 0;
        return SCardConnect(context, kReader, share, protocols, &card, &protocol);
    }
    Reply control(DWORD code, const Bytes& command) {
        Reply reply{SCARD_S_SUCCESS, Bytes(300)};
        DWORD received = 0;
        reply.result = SCardControl(card, code, command.data(), static_cast<DWORD>(command.size()),
                                    reply.bytes.data(), static_cast<DWORD>(reply.bytes.size()), &received);
        reply.bytes.resize(reply.result == SCARD_S_SUCCESS ? received : 0);
        return reply;
    }
    // Waits until pcscd reports the reader's state changed since the last look (the
    // first look returns at once); the new state without its event count, or 0 on
    // timeout.
    DWORD nextState(std::chrono::milliseconds timeout) {
        SCARD_READERSTATE state{};
        state.szReader = kReader;
        state.dwCurrentState = lastSeen;
        const auto started = std::chrono::steady_clock::now();
        const LONG result = SCardGetStatusChange(context, static_cast<DWORD>(timeout.count()), &state, 1);
        std::printf("observed: reader state change seen after %.1f ms\n",
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
        if (result != SCARD_S_SUCCESS) return 0;
        lastSeen = state.dwEventState & ~static_cast<DWORD>(SCARD_STATE_CHANGED);
        atr.assign(state.rgbAtr, state.rgbAtr + state.cbAtr);
        return lastSeen & 0xFFFF;
    }
    // Until PC/SC shows a card (or none); false when it does not within the timeout.
    bool wait_for(DWORD wanted, std::chrono::milliseconds timeout) {
        for (int look = 0; look < 4; ++look) {
            if ((nextState(timeout) & wanted) != 0) return true;
        }
        return false;
    }
    // The ATR the reader model gives the card once the reader has activated it.
    static Bytes modelAtr(const std::string& cardId) {
        VirtualReader model(loadScenarioFile(VIRTUAL_READER_TEST_SCENARIO), Presence::WhileTagInField);
        model.field().insert(*model.scenario().find(cardId));
        model.afterChange();
        return model.slot().view().atr;
    }

    static constexpr const char* kReader = "ACS ACR122U PICC Interface 00 00";
    SCARDCONTEXT context = 0;
    SCARDHANDLE card = 0;
    DWORD protocol = 0;
    Bytes atr;
    DWORD lastSeen = SCARD_STATE_UNAWARE;
};

TEST_F(Driver, OneReaderNamedAsTheCcidDriverNamesAUsbAcr122u) {
    EXPECT_EQ(readers(), std::vector<std::string>{kReader});
}

// pcscd serves the reader with the machine's own CCID driver, loaded through the
// run folder's driver folder, and maps no other driver and nothing of this build.
TEST_F(Driver, PcscdHasTheSystemsCcidDriverLoadedAndNoOther) {
    namespace fs = std::filesystem;
    const std::string runDir = std::getenv("VIRTUAL_READER_DIR") ? std::getenv("VIRTUAL_READER_DIR") : "/nowhere";
    std::string pid;
    ASSERT_TRUE(std::ifstream(runDir + "/pcscd-process.pid") >> pid);
    const std::string build = fs::canonical("/proc/self/exe").parent_path().parent_path().string() + "/";
    std::ifstream maps("/proc/" + pid + "/maps");
    std::set<std::string> files;
    for (std::string line; std::getline(maps, line);) {
        if (const auto path = line.find(" /"); path != std::string::npos) files.insert(line.substr(path + 1));
    }
    int systemDriver = 0;
    for (const auto& file : files) {
        std::error_code noFile;
        const bool ccid = fs::equivalent(file, "/usr/lib/pcsc/drivers/ifd-ccid.bundle/Contents/Linux/libccid.so", noFile);
        systemDriver += ccid ? 1 : 0;
        EXPECT_TRUE(ccid || file.find("/pcsc/drivers/") == std::string::npos) << "another driver: " << file;
        EXPECT_TRUE(file.rfind(runDir, 0) != 0 && file.rfind(build, 0) != 0) << "loaded from this build: " << file;
    }
    EXPECT_EQ(systemDriver, 1) << files.size() << " files mapped into pcscd " << pid;
}

// The CCID driver passes the escape under function 1 only (its driver folder allows
// it), answered whole with no card; it lists the escape among its part 10 features.
TEST_F(Driver, EscapeAnswersWholeWithoutACardOtherControlCodesAreRefused) {
    EXPECT_EQ(connect(SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1), SCARD_E_NO_SMARTCARD);
    ASSERT_EQ(connect(SCARD_SHARE_DIRECT, 0), SCARD_S_SUCCESS);
    const Reply whole = control(controlCode(1), kDirectFirmwareVersion);
    EXPECT_EQ(whole.result, SCARD_S_SUCCESS);
    EXPECT_EQ(formatHex(whole.bytes), formatHex(kFirmwareVersionWhole));
    EXPECT_EQ(control(controlCode(3500), kDirectFirmwareVersion).result, SCARD_E_UNSUPPORTED_FEATURE);
    EXPECT_EQ(control(controlCode(2000), kDirectFirmwareVersion).result, SCARD_E_UNSUPPORTED_FEATURE);
    const Reply features = control(controlCode(3400), {});
    ASSERT_EQ(features.result, SCARD_S_SUCCESS);
    EXPECT_NE(formatHex(features.bytes).find("13 04 42 00 00 01"), std::string::npos) << formatHex(features.bytes);
}

// A stock system: the CCID driver's escape option is off, so it refuses the escape
// before it reaches the reader.
TEST_F(Driver, StockDriverRefusesTheEscape) {
    ASSERT_EQ(connect(SCARD_SHARE_DIRECT, 0), SCARD_S_SUCCESS);
    EXPECT_EQ(control(controlCode(1), kDirectFirmwareVersion).result, SCARD_E_NOT_TRANSACTED);
}

TEST_F(Driver, CardArrivalAndRemovalReachPcscAsEventsWithTheModelsAtr) {
    ASSERT_TRUE(wait_for(SCARD_STATE_EMPTY, 5000ms));
    ASSERT_EQ(vreader::e2e::control("insert typeb"), "ok");
    ASSERT_TRUE(wait_for(SCARD_STATE_PRESENT, 5000ms));
    EXPECT_EQ(formatHex(atr), formatHex(modelAtr("typeb")));
    ASSERT_EQ(connect(SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1), SCARD_S_SUCCESS);

    // Another card in its place before pcscd looked again: still a new card, and the
    // handle to the first one is gone.
    ASSERT_EQ(vreader::e2e::control("remove typeb"), "ok");
    ASSERT_EQ(vreader::e2e::control("insert felica"), "ok");
    ASSERT_TRUE(wait_for(SCARD_STATE_PRESENT, 5000ms));
    DWORD length = 0, state = 0, active = 0;
    EXPECT_EQ(SCardStatus(card, nullptr, &length, &state, &active, nullptr, nullptr), SCARD_W_REMOVED_CARD);

    ASSERT_EQ(vreader::e2e::control("remove felica"), "ok");
    EXPECT_TRUE(wait_for(SCARD_STATE_EMPTY, 5000ms));
}

// The number after "card_state_queries=" in the reader's stats.
long cardStateQueries() {
    const std::string stats = vreader::e2e::control("stats");
    const auto at = stats.find("card_state_queries=");
    return at == std::string::npos ? -1 : std::stol(stats.substr(at + 19));
}

// pcscd asks its driver to stop waiting on every disconnect; the driver must still
// wait for the next event afterwards instead of letting pcscd ask for the card in a
// loop.
TEST_F(Driver, AnIdleReaderIsNotPolledAfterADisconnect) {
    ASSERT_EQ(vreader::e2e::control("insert typeb"), "ok");
    ASSERT_TRUE(wait_for(SCARD_STATE_PRESENT, 5000ms));
    ASSERT_EQ(connect(SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1), SCARD_S_SUCCESS);
    ASSERT_EQ(SCardDisconnect(card, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
    card = 0;
    std::this_thread::sleep_for(100ms);
    const long before = cardStateQueries();
    std::this_thread::sleep_for(500ms);
    const long asked = cardStateQueries() - before;
    std::printf("observed: %ld card state queries in 500 ms on an idle reader\n", asked);
    EXPECT_LE(asked, 2);
}

// The reader offers T=1 only: the CCID driver refuses T=0 and gives T=1 when both
// are offered, under which a chip command is answered whole.
TEST_F(Driver, T0IsRefusedT1AnswersWhole) {
    ASSERT_EQ(vreader::e2e::control("insert typeb"), "ok");
    ASSERT_TRUE(wait_for(SCARD_STATE_PRESENT, 5000ms));

    EXPECT_NE(connect(SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0), SCARD_S_SUCCESS);
    card = 0;
    ASSERT_EQ(connect(SCARD_SHARE_SHARED, SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1), SCARD_S_SUCCESS)
        << "ATR " << formatHex(atr);
    EXPECT_EQ(protocol, static_cast<DWORD>(SCARD_PROTOCOL_T1));
    Bytes answer(300);
    DWORD received = static_cast<DWORD>(answer.size());
    ASSERT_EQ(SCardTransmit(card, SCARD_PCI_T1, kDirectFirmwareVersion.data(),
                            static_cast<DWORD>(kDirectFirmwareVersion.size()), nullptr, answer.data(), &received),
              SCARD_S_SUCCESS);
    answer.resize(received);
    EXPECT_EQ(formatHex(answer), formatHex(kFirmwareVersionWhole));
}

}  // namespace
}  // namespace vreader::e2e
