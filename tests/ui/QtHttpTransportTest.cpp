// The HTTPS transport never speaks plain HTTP: such a request is refused without a connection.
#include "QtHttpTransport.h"

#include <QTest>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <optional>

namespace {

TEST(QtHttpTransportTest, APlainHttpUrlIsRefusedWithoutConnecting) {
    // A listener that would see any connection attempt.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string port = std::to_string(ntohs(address.sin_port));

    quorvel::ui::QtHttpTransport transport;
    std::optional<bool> delivered;
    transport.send({.url = "http://127.0.0.1:" + port + "/api/crash", .method = "POST", .body = "{}"},
                   [&](bool ok) { delivered = ok; });
    EXPECT_FALSE(delivered) << "answered on a later turn, never from inside send";
    // A request that went out would wait for our listener's answer, which never comes.
    EXPECT_TRUE(QTest::qWaitFor([&] { return delivered.has_value(); }, 2000));
    EXPECT_EQ(delivered, false);
    EXPECT_LT(::accept(listener, nullptr, nullptr), 0);
    ::close(listener);
}

} // namespace
