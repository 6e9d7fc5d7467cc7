// Many calls of every export through pcscd must leave the process (and pcscd) with
// no more memory, descriptors or PC/SC contexts than a short warm-up did. The
// pcsc-lite client keeps one socket per context, so the descriptor count covers
// contexts too; pcscd's own descriptor count shows contexts left open at its end.
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "library_session.h"

namespace qvr_e2e {
namespace {

const Bytes kSelectDemoApplication = hex("00 A4 04 00 06 F0 51 56 52 00 01");
const Bytes kRawFirmware = hex("FF 00 48 00 00");
constexpr char kFeliCaIdm[] = "012E4C8A13579BDF";

// Calls of each export; QVR_E2E_HYGIENE_CALLS overrides it for longer runs.
int callsPerExport() {
    const char* text = std::getenv("QVR_E2E_HYGIENE_CALLS");
    const int calls = text ? std::atoi(text) : 10000;
    return calls >= 1000 ? calls : 1000;
}

constexpr int kWarmUpCalls = 100;

int descriptorsOf(const std::string& pid) {
    DIR* dir = opendir(("/proc/" + pid + "/fd").c_str());
    if (dir == nullptr) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    closedir(dir);
    return count;
}

int pcscdDescriptors() {
    std::ifstream file(runDir() + "/pcscd-process.pid");
    std::string pid;
    file >> pid;
    return pid.empty() ? -1 : descriptorsOf(pid);
}

struct Figures {
    long rssKilobytes;
    int descriptors;
    int pcscdDescriptors;
};

// pcscd closes a client's socket when it notices the hang-up: give it a moment.
Figures measure() {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return {residentKilobytes(), openDescriptors(), pcscdDescriptors()};
}

// One export, called in a run of its own; the text of its result, which must not
// change from call to call in a run.
struct ExportCall {
    const char* name;
    std::function<std::string(std::int32_t card, int i)> call;
};

std::string result(std::int32_t status, const Reply& reply) {
    return statusText(status) + " " + reply.text() + (reply.guardIntact() ? "" : " GUARD OVERWRITTEN");
}

// In this order every call of a run finds the reader in the same state: the polls
// activate the Type B card (target 1) before its exchanges, the FeliCa poll the
// FeliCa card before Request Response and the bit-rate change.
std::vector<ExportCall> exportCalls() {
    return {
        {"oPCSCReaderName", [](std::int32_t, int) {
             char name[QVR_NAME_BUFFER_SIZE] = {};
             return std::to_string(oPCSCReaderName(name)) + " " + name;
         }},
        {"oFirmwareVer", [](std::int32_t card, int) {
             Reply r;
             return result(oFirmwareVer(card, r.data(), &r.length), r);
         }},
        {"oConfigureReader", [](std::int32_t card, int) {
             Reply r;
             return result(oConfigureReader(card, r.data(), &r.length), r);
         }},
        {"oSetRetryTimeToOne", [](std::int32_t card, int) {
             Reply r;
             return result(oSetRetryTimeToOne(card, r.data(), &r.length), r);
         }},
        {"oPollingTags", [](std::int32_t card, int) {
             Reply r;
             std::uint8_t found = 0xEE;
             const std::int32_t status = oPollingTags(card, r.data(), &r.length, &found, "01");
             return result(status, r) + " type " + statusText(found);
         }},
        {"oPollThisTag", [](std::int32_t card, int) {
             Reply r;
             std::uint8_t found = 0xEE;
             const std::int32_t status = oPollThisTag(card, r.data(), &r.length, "23", &found, "01");
             return result(status, r) + " type " + statusText(found);
         }},
        {"oPollISO14443_TypeBTag", [](std::int32_t card, int) {
             Reply r;
             return result(oPollISO14443_TypeBTag(card, r.data(), &r.length), r);
         }},
        {"oSendTo (types 10, 11, 12, 13 in turn)", [](std::int32_t card, int i) {
             Reply r;
             const std::int32_t type = 10 + i % 4;
             const Bytes& command = type == 10 ? kRawFirmware : kSelectDemoApplication;
             const std::int32_t status = oSendTo(card, type, command.data(), static_cast<std::int32_t>(command.size()),
                                                 r.data(), 1000, &r.length);
             // Type 10 answers with a byte count and leaves the reply length at 0.
             const std::string raw = type == 10 ? " [" + hexOf(r.data(), 10) + "]" : "";
             return "type " + std::to_string(type) + " " + result(status, r) + raw;
         }},
        {"oRequestResponseTypeB", [](std::int32_t card, int) {
             Reply r;
             return result(oRequestResponseTypeB(card, r.data(), &r.length), r);
         }},
        {"oPollISO18092_TypeCTag", [](std::int32_t card, int) {
             Reply r;
             return result(oPollISO18092_TypeCTag(card, r.data(), &r.length), r);
         }},
        {"oRequestResponseTypeC", [](std::int32_t card, int) {
             Reply r;
             return result(oRequestResponseTypeC(card, kFeliCaIdm, r.data(), &r.length), r);
         }},
        {"oChangeBaudRate (rates in turn)", [](std::int32_t card, int i) {
             Reply r;
             return result(oChangeBaudRate(card, r.data(), &r.length, i % 2), r);
         }},
        {"oDeSelectTag", [](std::int32_t card, int) {
             Reply r;
             return result(oDeSelectTag(card, r.data(), &r.length), r);
         }},
        {"oTurnOffAntennaPower", [](std::int32_t card, int) {
             Reply r;
             return result(oTurnOffAntennaPower(card, r.data(), &r.length), r);
         }},
    };
}

// The results of one run of calls, and how many differed from the first of the run
// with the same variant (oSendTo and oChangeBaudRate alternate their arguments).
struct RunRecord {
    std::map<std::string, int> distinct;
};

// Runs `calls` calls of each export on a fresh connection, then `calls` calls of
// oDisconnectPCSCReader: the first ends the connection, the rest meet a stale
// handle. Then `cycles` connect-disconnect cycles.
void runPhase(int calls, int cycles, std::map<std::string, RunRecord>& records) {
    const std::int32_t card = oConnectPCSCReader();
    ASSERT_NE(card, 0);
    for (const auto& e : exportCalls()) {
        RunRecord& record = records[e.name];
        for (int i = 0; i < calls; ++i) ++record.distinct[e.call(card, i)];
    }
    RunRecord& disconnects = records["oDisconnectPCSCReader (then stale)"];
    ++disconnects.distinct["first " + statusText(oDisconnectPCSCReader(card))];
    for (int i = 1; i < calls; ++i) ++disconnects.distinct["stale " + statusText(oDisconnectPCSCReader(card))];

    RunRecord& connections = records["oConnectPCSCReader + oDisconnectPCSCReader"];
    for (int i = 0; i < cycles; ++i) {
        const std::int32_t fresh = oConnectPCSCReader();
        ++connections.distinct[(fresh != 0 ? "connected, " : "no handle, ") + statusText(oDisconnectPCSCReader(fresh))];
    }
}

TEST(ResourceHygiene, ManyCallsKeepMemoryDescriptorsAndContextsFlat) {
    const int calls = callsPerExport();
    std::map<std::string, RunRecord> records;
    const auto started = std::chrono::steady_clock::now();
    const int cycles = calls / 10;
    runPhase(kWarmUpCalls, kWarmUpCalls, records);
    const Figures warm = measure();
    runPhase(calls - kWarmUpCalls, cycles - kWarmUpCalls, records);
    const Figures after = measure();
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);

    const int exports = static_cast<int>(exportCalls().size()) + 1;
    std::printf("%d calls of each of %d exports (oSendTo and oChangeBaudRate with alternating arguments) and "
                "%d connect/disconnect cycles in %lld ms\n",
                calls, exports, cycles, static_cast<long long>(took.count()));
    std::printf("%-48s %10s %10s\n", "", "after 100", "after all");  // 100 calls of each, 100 cycles
    std::printf("%-48s %10ld %10ld\n", "VmRSS (kB)", warm.rssKilobytes, after.rssKilobytes);
    std::printf("%-48s %10d %10d\n", "open descriptors of this process", warm.descriptors, after.descriptors);
    std::printf("%-48s %10d %10d\n", "open descriptors of pcscd", warm.pcscdDescriptors, after.pcscdDescriptors);
    for (const auto& [name, record] : records) {
        std::printf("%s\n", name.c_str());
        for (const auto& [text, count] : record.distinct) std::printf("  %6d x %s\n", count, text.c_str());
    }

#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer keeps freed memory in quarantine, so resident memory grows by
    // design; LeakSanitizer checks for leaks at exit instead.
    std::printf("VmRSS bound not checked under AddressSanitizer (its quarantine holds freed memory)\n");
#else
    EXPECT_LE(after.rssKilobytes - warm.rssKilobytes, 2048) << "resident memory grew";
#endif
    EXPECT_LE(after.descriptors - warm.descriptors, 1) << "descriptors (PC/SC contexts) leaked";
    EXPECT_LE(after.pcscdDescriptors - warm.pcscdDescriptors, 1) << "pcscd holds more client connections";

    // Every export gave the same answer every time (per alternating argument).
    for (const auto& [name, record] : records) {
        const std::size_t variants =
            name.rfind("oSendTo", 0) == 0 ? 4 : name.rfind("oChangeBaudRate", 0) == 0 ? 1 : name.rfind("oDisconnect", 0) == 0 ? 2 : 1;
        EXPECT_EQ(record.distinct.size(), variants) << name;
        for (const auto& [text, count] : record.distinct)
            EXPECT_EQ(text.find("GUARD OVERWRITTEN"), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace qvr_e2e
