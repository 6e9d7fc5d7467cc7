// The vpcd side without pcscd: this test listens on a loopback port as vpcd does
// and checks the framing and the answers to control codes and APDUs.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "test_bytes.h"
#include "vpcd_link.h"
#include "vpcd_protocol.h"

namespace vreader::testing {
namespace {

// A stand-in for vpcd: a listening socket on 127.0.0.1 with a free port.
class FakeVpcd {
public:
    FakeVpcd() {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            throw std::runtime_error("cannot listen on loopback");
        }
        port_ = ntohs(address.sin_port);
    }
    ~FakeVpcd() {
        if (client_ >= 0) ::close(client_);
        ::close(listener_);
    }
    std::uint16_t port() const { return port_; }
    void accept_reader() { client_ = ::accept(listener_, nullptr, nullptr); }
    void send_raw(const Bytes& bytes) { ASSERT_EQ(::send(client_, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size())); }
    // Everything the reader has written within a short wait.
    Bytes receive_raw() {
        Bytes buffer(1024);
        const ssize_t n = ::recv(client_, buffer.data(), buffer.size(), 0);
        buffer.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return buffer;
    }
    void hang_up() {
        ::close(client_);
        client_ = -1;
    }

private:
    int listener_ = -1;
    int client_ = -1;
    std::uint16_t port_ = 0;
};

TEST(VpcdLink, FramesBothWaysWithTwoByteBigEndianLengths) {
    FakeVpcd vpcd;
    VpcdLink link(vpcd.port());
    ASSERT_TRUE(link.try_connect());
    vpcd.accept_reader();

    vpcd.send_raw(H("00 05 FF 00 48 00 00"));
    EXPECT_EQ(link.receive(), H("FF 00 48 00 00"));
    ASSERT_TRUE(link.send(H("D5 03 32 01 06 07 90 00")));
    EXPECT_EQ(vpcd.receive_raw(), H("00 08 D5 03 32 01 06 07 90 00"));

    // A message split over two writes still arrives whole.
    vpcd.send_raw(H("00 02"));
    vpcd.send_raw(H("D4 02"));
    EXPECT_EQ(link.receive(), H("D4 02"));

    vpcd.hang_up();
    EXPECT_EQ(link.receive(), std::nullopt);
    EXPECT_FALSE(link.connected());
}

TEST(VpcdLink, ConnectFailsWhileNobodyListens) {
    std::uint16_t port;
    {
        FakeVpcd gone;
        port = gone.port();
    }
    VpcdLink link(port);
    EXPECT_FALSE(link.try_connect());
    EXPECT_FALSE(link.connected());
}

TEST(VpcdProtocol, ControlCodesAndApdus) {
    VirtualReader device{parse_scenario("{}"), Presence::Always};
    EXPECT_EQ(answer_vpcd_message(H("04"), device), H("3B 00"));
    EXPECT_EQ(answer_vpcd_message(H("01"), device), std::nullopt);
    EXPECT_EQ(answer_vpcd_message(H("FF 00 00 00 02 D4 02"), device), H("61 08"));
    // Power off or reset loses the announced answer.
    EXPECT_EQ(answer_vpcd_message(H("00"), device), std::nullopt);
    EXPECT_EQ(answer_vpcd_message(H("FF C0 00 00 08"), device), H("63 00"));
    EXPECT_EQ(answer_vpcd_message(H("02"), device), std::nullopt);
    EXPECT_EQ(device.stats().commands, 2u);
}

}  // namespace
}  // namespace vreader::testing
