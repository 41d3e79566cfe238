#include "platform/tcp_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/loopback_listener.h"

namespace {

TEST(TcpClient, ReadsLinesAndBlocksWhateverTheChunks)
{
    LoopbackListener listener;
    platform::TcpClient client;
    ASSERT_TRUE(client.Connect("127.0.0.1", listener.Port(), 5000));
    const int peer = listener.Accept();
    ASSERT_GE(peer, 0);
    const std::string stream = "161 HELLO\r\nbb\n\nccc\r\n311 STREAM 5\nBL\nCKtail\n";
    std::thread writer([&] {
        for (char c : stream)  // one byte per send, so reads see every split
            SendText(peer, std::string(1, c));
        ::close(peer);
    });
    std::string line, block;
    const std::vector<std::string> expected = {"161 HELLO", "bb", "", "ccc", "311 STREAM 5"};
    for (const auto& want : expected) {
        ASSERT_TRUE(client.ReadLine(line, 1000));
        EXPECT_EQ(line, want);
    }
    ASSERT_TRUE(client.ReadBytes(block, 5));
    EXPECT_EQ(block, "BL\nCK");
    ASSERT_TRUE(client.ReadLine(line, 1000));
    EXPECT_EQ(line, "tail");
    EXPECT_FALSE(client.ReadLine(line, 1000));  // closed by the peer
    writer.join();
}

TEST(TcpClient, RefusesLinesAndBlocksItCannotComplete)
{
    struct Case {
        const char* name;
        std::string sent;
        bool line;  // ReadLine with limit 100, else ReadBytes(200)
    };
    const std::vector<Case> cases = {
        {"line beyond the limit", std::string(101, 'x') + "\n", true},
        {"endless line", std::string(5000, 'x'), true},
        {"block cut by close", std::string(150, 'x'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackListener listener;
        platform::TcpClient client;
        ASSERT_TRUE(client.Connect("localhost", listener.Port(), 5000));
        const int peer = listener.Accept();
        SendText(peer, c.sent);
        ::close(peer);
        std::string out;
        EXPECT_FALSE(c.line ? client.ReadLine(out, 100) : client.ReadBytes(out, 200));
    }
}

TEST(TcpClient, WritesFromManyThreadsNeverInterleave)
{
    LoopbackListener listener;
    platform::TcpClient client;
    ASSERT_TRUE(client.Connect("127.0.0.1", listener.Port(), 5000));
    ASSERT_TRUE(client.SetNoDelay(true));
    const int peer = listener.Accept();
    std::string received;
    std::thread reader([&] { received = ReceiveAll(peer); });

    constexpr int kThreads = 4, kEach = 25;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                // Big enough that one send cannot take it whole.
                const std::string line = std::to_string(t) + " " + std::to_string(i) + " "
                    + std::string(200000 + 1000 * i, static_cast<char>('a' + t)) + "\n";
                EXPECT_TRUE(client.WriteAll(line.data(), line.size()));
            }
        });
    }
    for (auto& w : writers)
        w.join();
    client.Close();
    reader.join();
    ::close(peer);

    std::map<int, int> nextOf;
    std::istringstream in(received);
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int t = -1, i = -1;
        std::string body;
        fields >> t >> i >> body;
        ASSERT_TRUE(t >= 0 && t < kThreads) << "line " << lines;
        EXPECT_EQ(i, nextOf[t]++);
        EXPECT_EQ(body, std::string(200000 + 1000 * i, static_cast<char>('a' + t)));
        ++lines;
    }
    EXPECT_EQ(lines, kThreads * kEach);
}

TEST(TcpClient, ShutdownAndAbortEndABlockedRead)
{
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort ? "Abort" : "Shutdown");
        LoopbackListener listener;
        platform::TcpClient client;
        ASSERT_TRUE(client.Connect("127.0.0.1", listener.Port(), 5000));
        const int peer = listener.Accept();
        std::atomic<int> result{-1};
        std::thread reader([&] {
            std::string line;
            result = client.ReadLine(line, 1000) ? 1 : 0;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let it block; the outcome holds either way
        if (abort)
            client.Abort();
        else
            client.Shutdown();
        reader.join();
        EXPECT_EQ(result, 0);
        EXPECT_FALSE(client.IsConnected());
        const char byte = 'x';
        EXPECT_FALSE(client.WriteAll(&byte, 1));
        EXPECT_EQ(client.Connect("127.0.0.1", listener.Port(), 5000), !abort);  // Abort is for good
        ::close(peer);
    }
}

TEST(TcpClient, ConnectToAClosedPortFails)
{
    int port;
    {
        LoopbackListener listener;  // a port that was free a moment ago
        port = listener.Port();
    }
    platform::TcpClient client;
    EXPECT_FALSE(client.Connect("127.0.0.1", port, 5000));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_FALSE(client.Connect("127.0.0.1", 0, 5000));
}

}  // namespace
