#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "componentclasses/encryption.h"
#include "objects/tree.h"
#include "platform/tcp_client.h"
#include "platform/udp_client.h"
#include "tests/system/rumo_server_process.h"
#include "tests/support/text_files.h"

namespace {

using testsupport::ReadFile;

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kLogin = "164 LOGIN MERK wqrtpz2817hmx908576";

// What a tree holds after the statements, in the form the server writes it.
std::string TreeOf(const std::vector<std::string>& statements)
{
    TAE_Root tree;
    for (const auto& s : statements)
        tree.Apply(s);
    return tree.WriteStatements(false);
}

template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds timeout = 30s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// Speaks the client's side of the wire by hand: enciphered lines out, plain lines in.
class WireClient {
public:
    bool Connect(int port) { return tcp_.Connect("127.0.0.1", port, 5000); }
    bool Send(const std::string& line)
    {
        const std::string cipher = encryption::EncipherText(encryption::kCycles, line + "\r\n", encryption::BuiltInKey());
        return tcp_.WriteAll(cipher.data(), cipher.size());
    }
    // The next line, or "<closed>".
    std::string Read()
    {
        std::string line;
        return tcp_.ReadLine(line, 1 << 20) ? line : "<closed>";
    }
    std::string ReadBlock(std::size_t n)
    {
        std::string block;
        return tcp_.ReadBytes(block, n) ? block : "<closed>";
    }
    bool LogIn()
    {
        return Read().rfind("161", 0) == 0 && Send("162 ID abcdEFGH12") && Read().rfind("163", 0) == 0
            && Send(kLogin) && Read().rfind("165", 0) == 0;
    }

private:
    platform::TcpClient tcp_;
};

class RumoServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rumo-server-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Path(const char* name) const { return (dir / name).string(); }

    fs::path dir;
};

TEST_F(RumoServer, AnswersTheDiscoveryProbeOnly)
{
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0));
    platform::UdpClient udp;
    std::string answer;
    for (const char* other : {"700 LOST\r\n", "HELLO", "701 HOST x 1"}) {
        ASSERT_TRUE(udp.SendTo("127.0.0.1", server.Port(), other));
        EXPECT_EQ(udp.Receive(answer, 200), platform::UdpClient::Received::Timeout) << other;
    }
    ASSERT_TRUE(udp.SendTo("127.0.0.1", server.Port(), "700 LOST"));
    ASSERT_EQ(udp.Receive(answer, 10000), platform::UdpClient::Received::Datagram);
    EXPECT_EQ(answer, "701 HOST 127.0.0.1 " + std::to_string(server.Port()));
}

TEST_F(RumoServer, HandshakeRefusesWhatIsNotExpected)
{
    struct Case {
        const char* name;
        std::vector<std::string> sent;  // after 161
        std::vector<std::string> replies;
        std::vector<std::string> applied;  // statements the server's tree then holds
    };
    const std::vector<Case> cases = {
        {"no identification", {"999 HELLO"}, {"390", "<closed>"}, {}},
        {"wrong password", {"162 ID x", "164 LOGIN MERK wqrtpz2817hmx90857"}, {"163", "390", "<closed>"}, {}},
        {"wrong user", {"162 ID x", "164 LOGIN guest wqrtpz2817hmx908576"}, {"163", "390", "<closed>"}, {}},
        {"change before login", {"320 OBJECTUPDATE A.x=1", "162 ID x", kLogin}, {"390", "163", "165"}, {}},
        {"other line after login", {"162 ID x", kLogin, "HELLO", "320 OBJECTUPDATE A.x=1"}, {"163", "165", "390"}, {"A.x=1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RumoServerProcess server;
        ASSERT_TRUE(server.Start(0, {"--tree-out", Path("tree.txt")}));
        WireClient client;
        ASSERT_TRUE(client.Connect(server.Port()));
        EXPECT_EQ(client.Read().substr(0, 3), "161");
        for (const auto& line : c.sent)
            client.Send(line);
        for (const auto& reply : c.replies)
            EXPECT_EQ(client.Read().substr(0, reply.size()), reply);
        if (!c.applied.empty())
            EXPECT_TRUE(Eventually([&] { return ReadFile(dir / "tree.txt") == TreeOf(c.applied); }));
        else
            EXPECT_FALSE(fs::exists(dir / "tree.txt"));
        fs::remove(dir / "tree.txt");
    }
}

TEST_F(RumoServer, DecipheredStreamIsSplitIntoLinesWhateverTheWrites)
{
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0, {"--tree-out", Path("tree.txt")}));
    platform::TcpClient tcp;
    ASSERT_TRUE(tcp.Connect("127.0.0.1", server.Port(), 5000));
    // Three lines, padded as one text, written in odd-sized pieces.
    const std::string plain = std::string("162 ID x\r\n") + kLogin + "\r\n320 OBJECTUPDATE B.[c].M\r\n\n\n\n"
        + "320 OBJECTUPDATE M.v=a b=c\r\n";
    const std::string cipher = encryption::EncipherText(encryption::kCycles, plain, encryption::BuiltInKey());
    for (std::size_t at = 0; at < cipher.size(); at += 5) {
        ASSERT_TRUE(tcp.WriteAll(cipher.data() + at, std::min<std::size_t>(5, cipher.size() - at)));
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(Eventually([&] { return ReadFile(dir / "tree.txt") == TreeOf({"B.[c].M", "M.v=a b=c"}); }))
        << ReadFile(dir / "tree.txt");
}

TEST_F(RumoServer, SendsTheLinesAndBlocksOfTheSendFileAfterLogin)
{
    const std::string block = "X.a=1;\r\n\nY.b=2;\r\n";
    std::ofstream(dir / "send.txt", std::ios::binary)
        << "321 OBJECTUPDATE A.x=1\r\n\n311 STREAM " << block.size() << "\n" << block << "390 WHAT\n311 STREAM 99\nshort";
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0, {"--send", Path("send.txt")}));
    WireClient client;
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.LogIn());
    EXPECT_EQ(client.Read(), "321 OBJECTUPDATE A.x=1");
    EXPECT_EQ(client.Read(), "311 STREAM " + std::to_string(block.size()));
    EXPECT_EQ(client.ReadBlock(block.size()), block);
    EXPECT_EQ(client.Read(), "390 WHAT");
    EXPECT_EQ(client.Read(), "311 STREAM 99");
    EXPECT_EQ(client.ReadBlock(5), "short");  // a block cut by the file's end is sent as far as it goes
}

TEST_F(RumoServer, StopsInOrderOnTermWithClientsConnected)
{
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0));
    WireClient first, second;
    ASSERT_TRUE(first.Connect(server.Port()));
    ASSERT_TRUE(first.LogIn());
    ASSERT_TRUE(second.Connect(server.Port()));
    EXPECT_EQ(second.Read().substr(0, 3), "161");
    const int status = server.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(first.Read(), "<closed>");
    EXPECT_EQ(second.Read(), "<closed>");
}

TEST_F(RumoServer, RefusesBadOptions)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--port", "70000"}, {"--frobnicate", "1"}, {"--library", "x.so"}, {"--port"},
          {"--library", "/nonexistent/librumo.so", "--pdn-dir", "/tmp"}}) {
        RumoServerProcess server;
        EXPECT_FALSE(server.Start(0, args)) << args[0];
    }
}

// Cell letters of the sequence texts: squares 1-14 "n".."a", 15-40 "Z".."A", 41-50 "9".."0".
char Cell(int square)
{
    if (square <= 14)
        return static_cast<char>('n' - (square - 1));
    if (square <= 40)
        return static_cast<char>('Z' - (square - 15));
    return static_cast<char>('9' - (square - 41));
}

std::string StartCodes()
{
    std::string codes;
    for (int s = 1; s <= 20; ++s)
        codes += std::string{Cell(s), 'B'};
    for (int s = 31; s <= 50; ++s)
        codes += std::string{Cell(s), 'P'};
    return codes;
}

std::string Move(int from, int to, char piece)
{
    return std::string{Cell(from), '_', Cell(to), piece};
}

TEST_F(RumoServer, KeepsAGamePerBoardThroughLibrumo)
{
    const std::string library = std::string(RUMO_BINARY_DIR) + "/library/librumo.so";
    ASSERT_TRUE(fs::exists(library));
    fs::create_directories(dir / "pdn");
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0, {"--library", library, "--pdn-dir", Path("pdn")}));
    WireClient client;
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.LogIn());

    const std::string board = "QVR_hall_USB_pts/3_1";  // the "/" must not reach the file name
    const fs::path pdn = dir / "pdn" / "QVR_hall_USB_pts_3_1.pdn";
    std::string sequence = "@0:" + StartCodes();
    client.Send("320 OBJECTUPDATE MERK.[boards]." + board);
    client.Send("320 OBJECTUPDATE " + board + ".sequence=#");  // no positions yet: no game
    client.Send("320 OBJECTUPDATE " + board + ".sequence=" + sequence);
    ASSERT_TRUE(Eventually([&] { return fs::exists(pdn); }));
    EXPECT_EQ(ReadFile(pdn).find("32-28"), std::string::npos);

    sequence += Move(32, 28, 'P');
    client.Send("320 OBJECTUPDATE " + board + ".sequence=" + sequence);
    sequence += Move(19, 23, 'B');
    client.Send("320 OBJECTUPDATE " + board + ".sequence=" + sequence);
    // Moves count once the board is quiet for a while; the server looks again by itself.
    ASSERT_TRUE(Eventually(
        [&] {
            const std::string game = ReadFile(pdn);
            return game.find("32-28") != std::string::npos && game.find("19-23") != std::string::npos;
        },
        60s))
        << ReadFile(pdn);

    // Back in the start position: a new game begins.
    sequence += Move(23, 19, 'B') + Move(28, 32, 'P');
    client.Send("320 OBJECTUPDATE " + board + ".sequence=" + sequence);
    EXPECT_TRUE(Eventually([&] { return ReadFile(pdn).find("32-28") == std::string::npos; })) << ReadFile(pdn);
}

}  // namespace
