// The link between the pcscd driver and the virtual reader, without pcscd: the
// frames on the wire, the reader's answers to each request, and the card state
// pushed to the driver's event connection.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "faces/link/link_answers.h"
#include "faces/link/pcscd_link.h"
#include "test_bytes.h"

namespace vreader::testing {
namespace {

using link::Message;
using link::MessageType;
using namespace std::chrono_literals;

class SocketPair {
public:
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends_), 0); }
    ~SocketPair() {
        ::close(ends_[0]);
        ::close(ends_[1]);
    }
    int a() const { return ends_[0]; }
    int b() const { return ends_[1]; }

private:
    int ends_[2] = {-1, -1};
};

TEST(LinkProtocol, FramesCarryAFourByteBigEndianLengthThenTypeThenPayload) {
    EXPECT_EQ(link::encode({MessageType::kTransmitT0, H("FF 00 48 00 00")}), H("00 00 00 06 20 FF 00 48 00 00"));
    EXPECT_EQ(link::encodeControl(0x42000DAC, H("D4 02")), H("42 00 0D AC D4 02"));
    EXPECT_EQ(link::encodeCardState({true, 0x0102, H("3B 80 80 01 01")}), H("01 00 00 01 02 3B 80 80 01 01"));
    EXPECT_EQ(link::encodeCardState({false, 7, H("3B 00")}), H("00 00 00 00 07"));

    SocketPair pair;
    // A frame split over two writes still arrives whole.
    const Bytes frame = link::encode({MessageType::kAnswer, H("D5 03 32 01 06 07 90 00")});
    ASSERT_EQ(::write(pair.a(), frame.data(), 3), 3);
    ASSERT_EQ(::write(pair.a(), frame.data() + 3, frame.size() - 3), static_cast<ssize_t>(frame.size() - 3));
    const auto received = link::readMessage(pair.b(), 1s);
    ASSERT_TRUE(received);
    EXPECT_EQ(received->type, MessageType::kAnswer);
    EXPECT_EQ(received->payload, H("D5 03 32 01 06 07 90 00"));

    EXPECT_EQ(link::readMessage(pair.b(), 0ms), std::nullopt) << "nothing sent";
    const Bytes oversized = H("00 01 00 06 80");
    ASSERT_EQ(::write(pair.a(), oversized.data(), oversized.size()), 5);
    EXPECT_EQ(link::readMessage(pair.b(), 1s), std::nullopt) << "frame above the limit";
}

class LinkAnswers : public ::testing::Test {
protected:
    Message ask(MessageType type, const Bytes& payload = {}) { return answerDriverRequest({type, payload}, device); }
    VirtualReader device{parseScenario("{}"), Presence::Always};
};

TEST_F(LinkAnswers, T0AnnouncesTheAnswerT1AndTheEscapeGiveItWhole) {
    EXPECT_EQ(ask(MessageType::kTransmitT0, H("FF 00 00 00 02 D4 02")).payload, H("61 08"));
    EXPECT_EQ(ask(MessageType::kTransmitT0, H("FF C0 00 00 08")).payload, H("D5 03 32 01 06 07 90 00"));
    EXPECT_EQ(ask(MessageType::kTransmitT1, H("FF 00 00 00 02 D4 02")).payload, H("D5 03 32 01 06 07 90 00"));
    for (std::uint32_t code : {link::kEscapeCode3500, link::kEscapeCodeVendor}) {
        const Message reply = ask(MessageType::kControl, link::encodeControl(code, H("FF 00 00 00 02 D4 02")));
        EXPECT_EQ(reply.type, MessageType::kAnswer);
        EXPECT_EQ(reply.payload, H("D5 03 32 01 06 07 90 00"));
    }
    EXPECT_EQ(ask(MessageType::kControl, link::encodeControl(0x42000D48, H("FF 00 48 00 00"))).type,
              MessageType::kRefused);
    EXPECT_EQ(device.stats().commands, 5u);
}

TEST_F(LinkAnswers, PowerLosesAnAnnouncedAnswer) {
    EXPECT_EQ(ask(MessageType::kTransmitT0, H("FF 00 00 00 02 D4 02")).payload, H("61 08"));
    const Message powered = ask(MessageType::kPowerUp);
    ASSERT_EQ(powered.type, MessageType::kCardState);
    EXPECT_EQ(link::decodeCardState(powered.payload), (link::CardState{true, 0, kNoCardAtr}));
    EXPECT_EQ(ask(MessageType::kTransmitT0, H("FF C0 00 00 08")).payload, H("63 00"));
    EXPECT_EQ(ask(MessageType::kTransmitT0, H("FF 00 00 00 02 D4 02")).payload, H("61 08"));
    EXPECT_EQ(ask(MessageType::kPowerDown).type, MessageType::kAnswer);
    EXPECT_EQ(ask(MessageType::kTransmitT0, H("FF C0 00 00 08")).payload, H("63 00"));
}

TEST(LinkAnswersTagPresence, CommandsNeedACardTheEscapeDoesNot) {
    VirtualReader device{parseScenario(R"({"field": [], "cards": [
        {"id": "b", "type": "type-b", "pupi": "01020304"}]})"), Presence::WhileTagInField};
    const auto state = [&device] {
        return link::decodeCardState(answerDriverRequest({MessageType::kCardStateQuery, {}}, device).payload);
    };
    ASSERT_TRUE(state());
    EXPECT_FALSE(state()->present);
    EXPECT_EQ(answerDriverRequest({MessageType::kTransmitT0, H("FF 00 48 00 00")}, device).type,
              MessageType::kRefused);
    EXPECT_EQ(answerDriverRequest({MessageType::kPowerUp, {}}, device).payload.at(0), 0x00) << "no card to power";
    const Message escape = answerDriverRequest(
        {MessageType::kControl, link::encodeControl(link::kEscapeCode3500, H("FF 00 48 00 00"))}, device);
    EXPECT_EQ(escape.type, MessageType::kAnswer);
    EXPECT_EQ(escape.payload.size(), 10u) << "the firmware string";

    const std::uint32_t emptyNumber = state()->cardNumber;
    device.field().insert(*device.scenario().find("b"));
    device.afterChange();
    ASSERT_TRUE(state()->present) << "the reader activated the card by itself";
    EXPECT_EQ(state()->atr, device.reader().cardAtr().value_or(Bytes{}));
    EXPECT_NE(state()->cardNumber, emptyNumber);
    EXPECT_EQ(answerDriverRequest({MessageType::kTransmitT0, H("FF 00 48 00 00")}, device).type,
              MessageType::kAnswer);
}

// A driver as pcscd's copy of it would be: a command and an event connection.
class LinkServer : public ::testing::Test {
protected:
    LinkServer() {
        char folder[] = "/tmp/driver-link-test.XXXXXX";
        EXPECT_NE(::mkdtemp(folder), nullptr);
        dir = folder;
        link.emplace(dir + "/reader.sock");
        link->listen(true);
    }
    ~LinkServer() override {
        link.reset();
        ::rmdir(dir.c_str());
    }
    int connectAs(link::Role role) {
        const int s = link::connectUnix(dir + "/reader.sock");
        EXPECT_GE(s, 0);
        EXPECT_TRUE(link::writeMessage(s, {MessageType::kHello, {static_cast<std::uint8_t>(role)}}));
        serve();
        return s;
    }
    void serve() {
        std::vector<pollfd> watched;
        link->watch(watched);
        ::poll(watched.data(), watched.size(), 100);
        link->serve(watched, [](const Message& request) { return Message{MessageType::kAnswer, request.payload}; });
    }

    std::string dir;
    std::optional<PcscdLink> link;
};

TEST_F(LinkServer, AnswersCommandsAndPushesEachNewCardStateOnce) {
    const int events = connectAs(link::Role::kEvents);
    serve();  // the hello
    const int commands = connectAs(link::Role::kCommands);
    serve();
    EXPECT_TRUE(link->connected());

    link->publish({false, 1, {}});
    link->publish({false, 1, {}});
    link->publish({true, 2, H("3B 80 80 01 01")});
    auto pushed = link::readMessage(events, 1s);
    ASSERT_TRUE(pushed);
    EXPECT_EQ(pushed->payload, H("00 00 00 00 01"));
    pushed = link::readMessage(events, 1s);
    ASSERT_TRUE(pushed);
    EXPECT_EQ(pushed->payload, H("01 00 00 00 02 3B 80 80 01 01"));
    EXPECT_EQ(link::readMessage(events, 50ms), std::nullopt) << "the same state is not sent twice";

    ASSERT_TRUE(link::writeMessage(commands, {MessageType::kTransmitT1, H("FF 00 48 00 00")}));
    serve();
    const auto reply = link::readMessage(commands, 1s);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->payload, H("FF 00 48 00 00"));

    // Unplugged: every connection ends and nobody can connect.
    link->listen(false);
    EXPECT_EQ(link::readMessage(events, 1s), std::nullopt);
    EXPECT_EQ(link::readMessage(commands, 1s), std::nullopt);
    EXPECT_LT(link::connectUnix(dir + "/reader.sock"), 0);
    ::close(events);
    ::close(commands);
}

}  // namespace
}  // namespace vreader::testing
