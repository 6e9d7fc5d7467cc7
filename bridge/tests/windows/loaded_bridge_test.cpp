// Ferrow.dll as a JVM meets it on Windows: loaded by name, its methods looked up
// under the names a JVM of this architecture uses, and called with a JNIEnv.
//
// Each ctest test runs this program from a scenario folder of its own, where the
// bridge finds a stand-in of the reader library (complete, without oPollingTags,
// without oPCSCReaderName, without oDisconnectPCSCReader) or none, and selects the one scenario meant for that
// folder with --gtest_filter. The stand-in reads its answers from the file named
// by READER_DOUBLE_SCRIPT and notes each call in READER_DOUBLE_JOURNAL.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "JMain.h"
#include "fake_jni_env.h"

namespace {

using ferrow::testing::FakeByteArray;
using ferrow::testing::FakeJniEnv;
using Bytes = std::vector<std::uint8_t>;

// The Java arguments of each native method in words of the JVM's stack (an int, a
// byte or an array reference takes one).
struct NativeMethod {
    const char* name;
    int javaArgumentWords;
};

constexpr std::array<NativeMethod, 10> kNativeMethods = {{
    {"NativeInitInstance", 0},
    {"NativeInitializeACR122", 0},
    {"NativeSetRetryTimeToOne", 0},
    {"NativePollingTags", 0},
    {"NativeRequestResponse", 5},
    {"NativeOpenReaderWriterAuto", 0},
    {"NativeReaderWriterIsAlive", 0},
    {"NativeReaderWriterIsOpen", 0},
    {"NativeCloseReaderWriter", 0},
    {"NativeReconnectReaderWriter", 0},
}};

// A 64-bit JVM looks up Java_JMain_<method>. A 32-bit one looks up the stdcall
// name, _Java_JMain_<method>@<n>, n being 4 bytes for JNIEnv*, for jclass and for
// each word of Java arguments.
std::string jvmLookupName(const NativeMethod& method) {
    const std::string shortName = std::string("Java_JMain_") + method.name;
    if (sizeof(void*) == 8) return shortName;
    return "_" + shortName + "@" + std::to_string(4 * (2 + method.javaArgumentWords));
}

const NativeMethod& nativeMethod(const std::string& name) {
    for (const auto& method : kNativeMethods) {
        if (name == method.name) return method;
    }
    throw std::invalid_argument("not a native method of JMain: " + name);
}

// The folder a module's file lies in, with a trailing backslash; nullptr: this program.
std::string folderOf(HMODULE module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    const std::string file(path);
    return file.substr(0, file.find_last_of('\\') + 1);
}

// Empty when no module of that name is loaded.
std::string folderOfLoadedModule(const char* name) {
    const HMODULE module = GetModuleHandleA(name);
    return module == nullptr ? "" : folderOf(module);
}

class LoadedBridge {
public:
    LoadedBridge() : module_(LoadLibraryA("Ferrow.dll")) {}
    ~LoadedBridge() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    LoadedBridge(const LoadedBridge&) = delete;
    LoadedBridge& operator=(const LoadedBridge&) = delete;

    bool loaded() const noexcept { return module_ != nullptr; }

    void* find(const NativeMethod& method) const {
        // Through void*: FARPROC's own type says nothing about the method's.
        return reinterpret_cast<void*>(GetProcAddress(module_, jvmLookupName(method).c_str()));
    }

    template <typename Function>
    Function method(const char* name) const {
        return reinterpret_cast<Function>(find(nativeMethod(name)));
    }

private:
    HMODULE module_;
};

// The methods with their exact types from JMain.h, calling convention included.
struct BridgeMethods {
    explicit BridgeMethods(const LoadedBridge& bridge)
        : initInstance(bridge.method<decltype(initInstance)>("NativeInitInstance")),
          initializeAcr122(bridge.method<decltype(initializeAcr122)>("NativeInitializeACR122")),
          setRetryTimeToOne(bridge.method<decltype(setRetryTimeToOne)>("NativeSetRetryTimeToOne")),
          pollingTags(bridge.method<decltype(pollingTags)>("NativePollingTags")),
          requestResponse(bridge.method<decltype(requestResponse)>("NativeRequestResponse")),
          openReaderWriterAuto(bridge.method<decltype(openReaderWriterAuto)>("NativeOpenReaderWriterAuto")),
          readerWriterIsAlive(bridge.method<decltype(readerWriterIsAlive)>("NativeReaderWriterIsAlive")),
          readerWriterIsOpen(bridge.method<decltype(readerWriterIsOpen)>("NativeReaderWriterIsOpen")),
          reconnectReaderWriter(bridge.method<decltype(reconnectReaderWriter)>("NativeReconnectReaderWriter")),
          closeReaderWriter(bridge.method<decltype(closeReaderWriter)>("NativeCloseReaderWriter")) {}

    decltype(&Java_JMain_NativeInitInstance) initInstance;
    decltype(&Java_JMain_NativeInitializeACR122) initializeAcr122;
    decltype(&Java_JMain_NativeSetRetryTimeToOne) setRetryTimeToOne;
    decltype(&Java_JMain_NativePollingTags) pollingTags;
    decltype(&Java_JMain_NativeRequestResponse) requestResponse;
    decltype(&Java_JMain_NativeOpenReaderWriterAuto) openReaderWriterAuto;
    decltype(&Java_JMain_NativeReaderWriterIsAlive) readerWriterIsAlive;
    decltype(&Java_JMain_NativeReaderWriterIsOpen) readerWriterIsOpen;
    decltype(&Java_JMain_NativeReconnectReaderWriter) reconnectReaderWriter;
    decltype(&Java_JMain_NativeCloseReaderWriter) closeReaderWriter;
};

TEST(JvmLookup, FindsEveryNativeMethodUnderTheNameAJvmUses) {
    const LoadedBridge bridge;
    ASSERT_TRUE(bridge.loaded()) << "LoadLibraryA(\"Ferrow.dll\") failed, error " << GetLastError();
    for (const auto& method : kNativeMethods) {
        EXPECT_NE(bridge.find(method), nullptr) << jvmLookupName(method) << " not found";
    }
    // A QVR-ACR122.dll lies beside the program: only an import would load it now.
    EXPECT_EQ(GetModuleHandleA("QVR-ACR122.dll"), nullptr) << "loading the bridge loaded the reader library";
}

std::string environmentPath(const char* variable) {
    const char* value = std::getenv(variable);
    return value == nullptr ? "" : value;
}

const Bytes kSelect = {0x00, 0xA4, 0x04, 0x00};
const std::string kSelectSent = "oSendTo card=4660 type=11 length=4 capacity=1000 command=00A40400";
const Bytes kUntouched(8, 0x55);

class ReaderBinding : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bridge_.loaded()) << "LoadLibraryA(\"Ferrow.dll\") failed, error " << GetLastError();
        for (const auto& method : kNativeMethods) {
            ASSERT_NE(bridge_.find(method), nullptr) << jvmLookupName(method) << " not found";
        }
        ASSERT_FALSE(scriptPath_.empty() || journalPath_.empty()) << "READER_DOUBLE_SCRIPT/JOURNAL unset";
        std::ofstream{journalPath_, std::ios::trunc};
    }

    void script(std::initializer_list<const char*> lines) const {
        std::ofstream out(scriptPath_, std::ios::trunc);
        for (const char* line : lines) out << line << '\n';
    }

    std::vector<std::string> journal() const {
        std::vector<std::string> lines;
        std::ifstream in(journalPath_);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    bool call(jboolean (JNICALL* method)(JNIEnv*, jclass)) { return method(jni_.env(), nullptr) == JNI_TRUE; }

    // The four presence queries, which must agree.
    std::vector<bool> presence() {
        return {call(methods_.openReaderWriterAuto), call(methods_.readerWriterIsAlive),
                call(methods_.readerWriterIsOpen), call(methods_.reconnectReaderWriter)};
    }

    jint exchange(jbyte type, FakeByteArray& command, FakeByteArray& response) {
        return methods_.requestResponse(jni_.env(), nullptr, 0, type, static_cast<jint>(command.bytes().size()),
                                        command.handle(), response.handle());
    }

    // An exchange without a bound oSendTo: 0, the response untouched, both arrays
    // released.
    void expectExchangeRefused() {
        FakeByteArray command(kSelect);
        FakeByteArray response(kUntouched);
        EXPECT_EQ(exchange(11, command, response), 0);
        EXPECT_EQ(response.bytes(), kUntouched);
        EXPECT_EQ(command.copiesHeld() + response.copiesHeld(), 0) << "elements not released";
    }

    // Without oPCSCReaderName (or anything bound after it) the presence queries and
    // the close all fail.
    void expectPresenceAndCloseFail() {
        EXPECT_EQ(presence(), std::vector<bool>(4, false));
        EXPECT_FALSE(call(methods_.closeReaderWriter));
    }

    // After initInstance: the reader library the bridge loaded is the one beside
    // this program.
    void expectReaderLibraryBesideProgram() const {
        EXPECT_EQ(folderOfLoadedModule("QVR-ACR122.dll"), folderOf(nullptr));
    }

    LoadedBridge bridge_;
    BridgeMethods methods_{bridge_};
    FakeJniEnv jni_;
    std::string scriptPath_ = environmentPath("READER_DOUBLE_SCRIPT");
    std::string journalPath_ = environmentPath("READER_DOUBLE_JOURNAL");
};

TEST_F(ReaderBinding, Complete) {
    script({"poll_type=0x23", "send_reply=echo"});
    EXPECT_TRUE(call(methods_.initInstance)) << "all seven entry points are there";
    expectReaderLibraryBesideProgram();
    EXPECT_TRUE(call(methods_.initializeAcr122));
    EXPECT_TRUE(call(methods_.setRetryTimeToOne));
    EXPECT_EQ(methods_.pollingTags(jni_.env(), nullptr), 0x23);

    FakeByteArray command(kSelect);
    FakeByteArray response(kUntouched);
    EXPECT_EQ(exchange(11, command, response), 5);
    EXPECT_EQ(response.bytes(), (Bytes{0xC2, 0x00, 0xA4, 0x04, 0x00, 0x55, 0x55, 0x55}));

    script({"send=0x6A82"});
    FakeByteArray failed(kUntouched);
    EXPECT_EQ(exchange(11, command, failed), 0);
    EXPECT_EQ(failed.bytes(), (Bytes{0x6A, 0x82, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}));
    EXPECT_EQ(command.bytes(), kSelect);
    EXPECT_EQ(command.copiesHeld() + response.copiesHeld() + failed.copiesHeld(), 0) << "elements not released";

    EXPECT_EQ(presence(), std::vector<bool>(4, true));
    EXPECT_TRUE(call(methods_.closeReaderWriter));
    EXPECT_EQ(journal(), (std::vector<std::string>{
                             "oConnectPCSCReader", "oSetRetryTimeToOne card=4660",
                             "oPollingTags card=4660 period=01", kSelectSent, kSelectSent, "oPCSCReaderName",
                             "oPCSCReaderName", "oPCSCReaderName", "oPCSCReaderName", "oDeSelectTag card=4660",
                             "oTurnOffAntennaPower card=4660"}));
}

// oPollingTags is the third name bound: the two before it work, nothing after it
// is bound even though the stand-in exports it.
TEST_F(ReaderBinding, WithoutPolling) {
    script({"poll_type=0x23", "send_reply=echo"});
    EXPECT_FALSE(call(methods_.initInstance));
    expectReaderLibraryBesideProgram();
    EXPECT_TRUE(call(methods_.initializeAcr122));
    EXPECT_TRUE(call(methods_.setRetryTimeToOne));
    EXPECT_EQ(methods_.pollingTags(jni_.env(), nullptr), 0);

    expectExchangeRefused();
    expectPresenceAndCloseFail();
    EXPECT_EQ(journal(), (std::vector<std::string>{"oConnectPCSCReader", "oSetRetryTimeToOne card=4660"}));
}

// oPCSCReaderName is the fifth name: polling and exchanges work, the presence
// queries and the close (bound after it) do not.
TEST_F(ReaderBinding, WithoutReaderName) {
    script({"poll_type=0x23", "send_reply=echo"});
    EXPECT_FALSE(call(methods_.initInstance));
    expectReaderLibraryBesideProgram();
    EXPECT_TRUE(call(methods_.initializeAcr122));
    EXPECT_EQ(methods_.pollingTags(jni_.env(), nullptr), 0x23);

    FakeByteArray command(kSelect);
    FakeByteArray response(kUntouched);
    EXPECT_EQ(exchange(11, command, response), 5);
    EXPECT_EQ(response.bytes(), (Bytes{0xC2, 0x00, 0xA4, 0x04, 0x00, 0x55, 0x55, 0x55}));

    expectPresenceAndCloseFail();
    EXPECT_EQ(journal(), (std::vector<std::string>{"oConnectPCSCReader", "oPollingTags card=4660 period=01",
                                                   kSelectSent}));
}

// A second connect lets go of the handle the bridge holds before it connects.
TEST_F(ReaderBinding, Reconnect) {
    EXPECT_TRUE(call(methods_.initInstance));
    EXPECT_TRUE(call(methods_.initializeAcr122));
    script({"connect=7"});
    EXPECT_TRUE(call(methods_.initializeAcr122));
    EXPECT_TRUE(call(methods_.setRetryTimeToOne));
    EXPECT_EQ(journal(), (std::vector<std::string>{"oConnectPCSCReader", "oDisconnectPCSCReader card=4660",
                                                   "oConnectPCSCReader", "oSetRetryTimeToOne card=7"}));
}

// Without oDisconnectPCSCReader the seven still bind, and a second connect only
// replaces the handle.
TEST_F(ReaderBinding, WithoutDisconnect) {
    EXPECT_TRUE(call(methods_.initInstance));
    EXPECT_TRUE(call(methods_.initializeAcr122));
    script({"connect=7"});
    EXPECT_TRUE(call(methods_.initializeAcr122));
    EXPECT_TRUE(call(methods_.setRetryTimeToOne));
    EXPECT_EQ(journal(), (std::vector<std::string>{"oConnectPCSCReader", "oConnectPCSCReader",
                                                   "oSetRetryTimeToOne card=7"}));
}

// The reader library of the same build: every entry point the bridge binds is
// exported under the name the bridge looks up. Nothing is called: that would
// reach the smart-card service.
TEST_F(ReaderBinding, RealReaderLibrary) {
    EXPECT_TRUE(call(methods_.initInstance)) << "QVR-ACR122.dll lacks a name the bridge binds";
    expectReaderLibraryBesideProgram();
}

TEST_F(ReaderBinding, NoReaderLibrary) {
    EXPECT_FALSE(call(methods_.initInstance));
    EXPECT_EQ(GetModuleHandleA("QVR-ACR122.dll"), nullptr);
    EXPECT_FALSE(call(methods_.initializeAcr122));
    EXPECT_FALSE(call(methods_.setRetryTimeToOne));
    EXPECT_EQ(methods_.pollingTags(jni_.env(), nullptr), 0);

    expectExchangeRefused();
    expectPresenceAndCloseFail();
    EXPECT_TRUE(journal().empty());
}

}  // namespace
