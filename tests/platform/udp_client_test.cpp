#include "platform/udp_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(UdpClient, ExchangesDatagramsOverLoopback)
{
    platform::UdpClient server, client;
    ASSERT_TRUE(server.Bind("127.0.0.1", 0));
    const int port = server.LocalPort();
    ASSERT_GT(port, 0);
    ASSERT_TRUE(client.SendTo("localhost", port, "700 LOST"));

    std::string data;
    platform::UdpEndpoint from;
    ASSERT_EQ(server.Receive(data, 10000, &from), platform::UdpClient::Received::Datagram);
    EXPECT_EQ(data, "700 LOST");
    ASSERT_TRUE(server.SendTo(from, "701 HOST here 1"));
    ASSERT_EQ(client.Receive(data, 10000), platform::UdpClient::Received::Datagram);
    EXPECT_EQ(data, "701 HOST here 1");
}

TEST(UdpClient, ReceiveEndsOnTimeOutOrInterrupt)
{
    platform::UdpClient udp;
    ASSERT_TRUE(udp.Bind("127.0.0.1", 0));
    std::string data = "stale";
    EXPECT_EQ(udp.Receive(data, 20), platform::UdpClient::Received::Timeout);
    EXPECT_EQ(data, "");

    std::atomic<int> result{-1};
    std::thread waiter([&] {
        std::string got;
        result = static_cast<int>(udp.Receive(got, 600000));
    });
    udp.Interrupt();
    waiter.join();
    EXPECT_EQ(result, static_cast<int>(platform::UdpClient::Received::Error));
}

TEST(UdpClient, BroadcastFlagCanBeSwitched)
{
    platform::UdpClient udp;
    EXPECT_TRUE(udp.SetBroadcast(true));
    EXPECT_TRUE(udp.SetBroadcast(false));
    EXPECT_FALSE(udp.SendTo("127.0.0.1", 0, "x"));
}

}  // namespace
