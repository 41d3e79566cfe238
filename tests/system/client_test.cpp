#include "objects/client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "componentclasses/encryption.h"
#include "objects/statements.h"
#include "objects/udp_broadcaster.h"
#include "platform/dispatcher.h"
#include "tests/system/rumo_server_process.h"
#include "tests/support/text_files.h"

namespace {

using testsupport::ReadFile;
using testsupport::StartsWith;

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kPassword = "wqrtpz2817hmx908576";

// The test thread is the main thread: it runs the dispatcher while it waits.
class ClientLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/rumo-client-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_TRUE(fs::exists(RumoServerProcess::BinaryPath()));
    }
    void TearDown() override
    {
        client.reset();
        fs::remove_all(dir);
    }

    void MakeClient(int port, const std::string& serverSpec = "127.0.0.1")
    {
        client = std::make_unique<TAEOS_Client>(
            port, [this](const std::string& s) { statuses.push_back(s); }, nullptr, nullptr, &dispatcher,
            (dir / "zuva_client_log.txt").string());
        client->Discovery().broadcastAddress = "127.255.255.255";  // never a real interface
        client->AttachRoot(&tree);
        client->SetServer(serverSpec);
    }

    // Index of the first status at or after `from` that begins with prefix; -1 if none in time.
    int WaitForStatus(const std::string& prefix, std::size_t from = 0, std::chrono::milliseconds timeout = 30s)
    {
        int found = -1;
        dispatcher.RunUntil(
            [&] {
                for (std::size_t i = from; i < statuses.size(); ++i)
                    if (StartsWith(statuses[i], prefix))
                        return (found = static_cast<int>(i)) >= 0;
                return false;
            },
            timeout);
        return found;
    }

    std::vector<std::string> StatusesFrom(std::size_t from) const
    {
        return {statuses.begin() + static_cast<std::ptrdiff_t>(std::min(from, statuses.size())), statuses.end()};
    }

    std::string ServerArg(const char* file) const { return (dir / file).string(); }

    fs::path dir;
    platform::MainThreadDispatcher dispatcher;
    std::vector<std::string> statuses;
    TAE_Root tree;
    std::unique_ptr<TAEOS_Client> client;
};

TEST_F(ClientLink, HandshakeRunsInOrderAndLogsIn)
{
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0, {"--log", ServerArg("server.log")}));
    MakeClient(server.Port());
    client->Login("MERK", kPassword, "");
    ASSERT_GE(WaitForStatus("165"), 0);

    const std::string port = std::to_string(server.Port());
    const std::vector<std::string> expected = {
        "700 LOST", "701 HOST 127.0.0.1 " + port, "101 CONNECTING TO 127.0.0.1 " + port,
        "161",      "162 ID " + client->clientId, "163",
        "164 LOGIN MERK " + std::string(kPassword), "165"};
    std::size_t at = 0;
    for (const auto& want : expected) {
        const int i = WaitForStatus(want, at, 0ms);
        ASSERT_GE(i, 0) << "missing or out of order: " << want;
        at = static_cast<std::size_t>(i) + 1;
    }
    ASSERT_EQ(client->clientId.size(), 10u);
    for (char c : client->clientId)
        EXPECT_TRUE((c >= '0' && c <= '8') || std::isalpha(static_cast<unsigned char>(c))) << client->clientId;

    const std::string serverLog = ReadFile(dir / "server.log");
    EXPECT_NE(serverLog.find("162 ID " + client->clientId), std::string::npos);
    EXPECT_NE(serverLog.find("logged in"), std::string::npos);
    const std::string clientLog = ReadFile(dir / "zuva_client_log.txt");
    EXPECT_NE(clientLog.find("Opening ZUVA client log file!!"), std::string::npos);
    EXPECT_NE(clientLog.find("<< 161"), std::string::npos);
    EXPECT_NE(clientLog.find(">> 162 ID " + client->clientId), std::string::npos);
}

TEST_F(ClientLink, WrongPasswordIsRefused)
{
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0, {"--log", ServerArg("server.log")}));
    MakeClient(server.Port());
    client->Login("MERK", "guessed", "");
    const int refused = WaitForStatus("390");
    ASSERT_GE(refused, 0);
    EXPECT_GE(WaitForStatus("404 ERROR - DISCONNECTING", static_cast<std::size_t>(refused)), 0);
    EXPECT_EQ(WaitForStatus("165", 0, 0ms), -1);
    EXPECT_NE(ReadFile(dir / "server.log").find("refused"), std::string::npos);
}

// The window's tree handler in small: every public change goes to the server,
// sent by the thread that made it while it holds the event lock.
struct Publisher {
    TAEOS_Client* client = nullptr;
    std::recursive_mutex* eventLock = nullptr;
    std::vector<std::string> sent;  // guarded by eventLock

    static void OnEvent(void* self, TAE_Event* event)
    {
        auto& p = *static_cast<Publisher*>(self);
        const std::string s = DescribeEvent(*event, true);
        if (s.empty())
            return;
        std::string piece = s;
        if (piece.size() >= 3 && piece.compare(piece.size() - 3, 3, ";\r\n") == 0)
            piece.resize(piece.size() - 3);
        p.sent.push_back(piece);
        p.client->SendStatements(s);
    }
};

// A value whose 320 line enciphers to bytes that hold a zero.
std::string ValueWithZeroInCipher(const std::string& object)
{
    for (int i = 0;; ++i) {
        std::string value = "z";
        value.append(std::to_string(i));
        std::string line = "320 OBJECTUPDATE ";
        line.append(object).append(".zero=").append(value).append("\r\n");
        const std::string cipher = encryption::EncipherText(encryption::kCycles, line, encryption::BuiltInKey());
        if (cipher.find('\0') != std::string::npos)
            return value;
    }
}

TEST_F(ClientLink, BurstOfChangesLeavesTheServerTreeEqualToThePublicTree)
{
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0, {"--log", ServerArg("server.log"), "--tree-out", ServerArg("tree.txt")}));
    MakeClient(server.Port());
    std::recursive_mutex eventLock;
    client->SetModelLock(&eventLock);
    Publisher publisher{client.get(), &eventLock, {}};
    tree.AddHandler(&Publisher::OnEvent, &publisher);
    client->Login("MERK", kPassword, "");
    ASSERT_GE(WaitForStatus("165"), 0);

    std::atomic<int> running{3};
    // Values without line ends: a line end inside a value would end the wire line.
    auto worker = [&](int w) {
        for (int i = 0; i < 60; ++i) {
            std::lock_guard lock(eventLock);
            const std::string name = "QVR_host_port" + std::to_string(w) + "_" + std::to_string(i % 7);
            TAE_Object* board = tree.FindObject("MERK", true)->FindCollection("[boards]", true)->FindMember(name, true);
            board->SetValue("busadres", std::to_string(i % 7));
            board->SetValue("sequence", "@0:nB0P" + std::string(static_cast<std::size_t>(i), 'x'));
            board->SetValue("clockwhite", "1:0" + std::to_string(i % 10) + ".00");
            if (i % 11 == 0)
                tree.FindObject("(private" + std::to_string(w) + ")", true)->SetValue("secret", "no");
        }
        --running;
    };
    std::thread first(worker, 1), second(worker, 2);
    {
        std::lock_guard lock(eventLock);
        TAE_Object* board = tree.FindObject("MERK", true)->FindCollection("[boards]", true)->FindMember("Zb", true);
        board->SetValue("zero", ValueWithZeroInCipher("Zb"));
        board->SetValue("table", "value with = and ; inside");
    }
    worker(0);
    // Workers post their statuses; the main thread keeps them flowing.
    ASSERT_TRUE(dispatcher.RunUntil([&] { return running == 0; }, 60s));
    first.join();
    second.join();

    std::string expected;
    {
        std::lock_guard lock(eventLock);
        expected = tree.WriteStatements(true);
    }
    EXPECT_EQ(expected.find("(private"), std::string::npos);
    ASSERT_TRUE(dispatcher.RunUntil([&] { return ReadFile(dir / "tree.txt") == expected; }, 30s))
        << "server tree:\n" << ReadFile(dir / "tree.txt") << "\nclient tree:\n" << expected;
    std::vector<std::string> sent;
    {
        std::lock_guard lock(eventLock);
        sent = publisher.sent;
    }
    EXPECT_EQ(StatementsServerReceived(dir / "server.log"), sent);
}

TEST_F(ClientLink, SendStatementsCutsAtTerminatorsAndNeedsAConnection)
{
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0, {"--log", ServerArg("server.log")}));
    MakeClient(server.Port());
    client->SendStatements("Early.x=1");  // not connected: nothing sent, nothing logged
    client->Login("MERK", kPassword, "");
    ASSERT_GE(WaitForStatus("165"), 0);
    client->SendStatements("A.x=1;\r\n;\r\nB.y=a;b;\r\nC.z=3");
    client->SendStatements("");
    client->SendStatements("D.w=4;\r\n");
    const std::vector<std::string> expected = {"A.x=1", "B.y=a;b", "C.z=3", "D.w=4"};
    ASSERT_TRUE(dispatcher.RunUntil(
        [&] { return StatementsServerReceived(dir / "server.log").size() >= expected.size(); }, 30s));
    EXPECT_EQ(StatementsServerReceived(dir / "server.log"), expected);
    const std::string log = ReadFile(dir / "zuva_client_log.txt");
    EXPECT_EQ(log.find("Early"), std::string::npos);
    EXPECT_NE(log.find(">> 320 OBJECTUPDATE C.z=3\r\n --> Encrypted: "), std::string::npos);
    EXPECT_GE(WaitForStatus("320 OBJECTUPDATE D.w=4", 0, 0ms), 0);  // a sent line shows as status
}

TEST_F(ClientLink, ServerLinesAndBlocksAreAppliedOnTheMainThread)
{
    std::string block;
    const int blockObjects = 20000;
    for (int i = 0; block.size() < 1000000; ++i)
        block += "Blk" + std::to_string(i % blockObjects) + ".v" + std::to_string(i / blockObjects) + "="
            + std::string(30, static_cast<char>('a' + i % 26)) + ";\r\n";
    std::ofstream(dir / "send.txt", std::ios::binary)
        << "321 OBJECTUPDATE Srv.table=7 and more\n"
        << "311 STREAM " << block.size() << "\n"
        << block << "390 UNKNOWN COMMAND\n";

    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0, {"--send", ServerArg("send.txt")}));
    MakeClient(server.Port());
    const auto mainThread = std::this_thread::get_id();
    static std::atomic<int> offMain;
    offMain = 0;
    tree.AddHandler(
        [](void* main, TAE_Event*) {
            if (*static_cast<std::thread::id*>(main) != std::this_thread::get_id())
                ++offMain;
        },
        const_cast<std::thread::id*>(&mainThread));
    client->Login("MERK", kPassword, "");
    const int unknown = WaitForStatus("390 UNKNOWN COMMAND");
    ASSERT_GE(unknown, 0);

    EXPECT_EQ(offMain.load(), 0);
    ASSERT_NE(tree.FindObject("Srv", false), nullptr);
    EXPECT_EQ(tree.FindObject("Srv", false)->GetValue("table"), "7 and more");
    for (const int i : {0, 1, blockObjects - 1}) {
        TAE_Object* object = tree.FindObject("Blk" + std::to_string(i), false);
        ASSERT_NE(object, nullptr) << i;
        EXPECT_EQ(object->GetValue("v0"), std::string(30, static_cast<char>('a' + i % 26)));
    }
    const std::string n = std::to_string(block.size());
    const int received = WaitForStatus("313 RECEIVED STREAM (" + n + " bytes)", 0, 0ms);
    const int processing = WaitForStatus("314 PROCESSING STREAM (" + n + " bytes)", 0, 0ms);
    const int done = WaitForStatus("315 PROCESSING DONE (", 0, 0ms);
    ASSERT_GE(received, 0);
    EXPECT_EQ(processing, received + 1);
    EXPECT_EQ(done, processing + 1);
    EXPECT_EQ(statuses[static_cast<std::size_t>(done)].substr(statuses[static_cast<std::size_t>(done)].size() - 3), "ms)");
    int shown = 0;
    for (const auto& s : statuses)
        shown += s == "390 UNKNOWN COMMAND";
    EXPECT_EQ(shown, 1);  // an equal status is not reported twice in a row
    // The line is shown before it is handled and logged.
    EXPECT_TRUE(dispatcher.RunUntil(
        [&] { return ReadFile(dir / "zuva_client_log.txt").find("-- Error: unknown command") != std::string::npos; },
        30s));
}

TEST_F(ClientLink, BrokenBlockCountsDropTheConnection)
{
    struct Case {
        const char* name;
        std::string sent;
        bool dropped;
    };
    const std::vector<Case> cases = {
        {"not a number", "311 STREAM 12ab\nX.a=1;\r\n", true},
        {"beyond the limit", "311 STREAM 67108865\n", true},
        {"zero reads nothing", "311 STREAM 0\n321 OBJECTUPDATE After.ok=1\n", false},
        {"negative reads nothing", "311 STREAM -5\n321 OBJECTUPDATE After.ok=1\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(dir / "send.txt", std::ios::binary) << c.sent;
        RumoServerProcess server;
        ASSERT_TRUE(server.Start(0, {"--send", ServerArg("send.txt")}));
        statuses.clear();
        MakeClient(server.Port());
        client->Login("MERK", kPassword, "");
        if (c.dropped) {
            EXPECT_GE(WaitForStatus("404 ERROR - DISCONNECTING"), 0);
        } else {
            EXPECT_TRUE(dispatcher.RunUntil([&] { return tree.FindObject("After", false) != nullptr; }, 30s));
            EXPECT_EQ(WaitForStatus("404", 0, 0ms), -1);
        }
        EXPECT_EQ(WaitForStatus("313", 0, 0ms), -1);
        client.reset();
    }
}

TEST_F(ClientLink, ReconnectsAndLogsInAgainAfterTheServerWasKilled)
{
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0));
    const int port = server.Port();
    MakeClient(port);
    client->Login("MERK", kPassword, "");
    ASSERT_GE(WaitForStatus("165"), 0);
    const std::size_t before = statuses.size();
    server.Kill();
    const int lost = WaitForStatus("404 ERROR - DISCONNECTING", before);
    ASSERT_GE(lost, 0);
    RumoServerProcess again;
    ASSERT_TRUE(dispatcher.RunUntil([&] { return again.Start(port); }, 30s));
    const int connecting = WaitForStatus("101 CONNECTING TO 127.0.0.1 " + std::to_string(port), static_cast<std::size_t>(lost));
    ASSERT_GE(connecting, 0);
    const int id = WaitForStatus("162 ID " + client->clientId, static_cast<std::size_t>(connecting));
    ASSERT_GE(id, 0);
    EXPECT_GE(WaitForStatus("165", static_cast<std::size_t>(id)), 0);
}

TEST_F(ClientLink, WithTheServerGoneForGoodItRetriesEveryFiveSeconds)
{
    int port;
    {
        RumoServerProcess gone;
        ASSERT_TRUE(gone.Start(0));
        port = gone.Port();
    }
    MakeClient(port);
    client->Login("MERK", kPassword, "");
    // Each round: 700, 701, 101, a refused connect, then a pause of 5 s.
    dispatcher.RunUntil([] { return false; }, 11s);
    int rounds = 0;
    for (const auto& s : statuses)
        rounds += s == "700 LOST";
    EXPECT_GE(rounds, 2);
    EXPECT_LE(rounds, 3);
}

TEST_F(ClientLink, DisconnectStopsEverythingUntilTheNextLogin)
{
    RumoServerProcess server;
    ASSERT_TRUE(server.Start(0, {"--log", ServerArg("server.log")}));
    MakeClient(server.Port());
    client->Disconnect();
    EXPECT_TRUE(statuses.empty());  // not connected: no 405
    client->Login("MERK", kPassword, "");
    ASSERT_GE(WaitForStatus("165"), 0);
    const std::size_t before = statuses.size();
    client->Disconnect();
    ASSERT_EQ(StatusesFrom(before), std::vector<std::string>{"405 DISCONNECTING (requested)"});
    dispatcher.RunUntil([] { return false; }, 1500ms);
    EXPECT_EQ(StatusesFrom(before), std::vector<std::string>{"405 DISCONNECTING (requested)"});
    client->SendStatements("Gone.x=1");
    client->Login("MERK", kPassword, "");
    EXPECT_GE(WaitForStatus("165", before + 1), 0);
    const std::string log = ReadFile(dir / "server.log");
    std::size_t logins = 0;
    for (std::size_t at = 0; (at = log.find("logged in", at)) != std::string::npos; ++at)
        ++logins;
    EXPECT_EQ(logins, 2u);
    EXPECT_EQ(log.find("Gone"), std::string::npos);
}

TEST_F(ClientLink, ChangedServerMakesLoginLookAgain)
{
    RumoServerProcess first, second;
    ASSERT_TRUE(first.Start(0));
    ASSERT_TRUE(second.Start(0));
    MakeClient(first.Port());
    client->Login("MERK", kPassword, "");
    ASSERT_GE(WaitForStatus("165"), 0);
    const std::size_t before = statuses.size();
    client->port = second.Port();
    client->Login("MERK", kPassword, "");
    const int lost = WaitForStatus("700 LOST", before);
    ASSERT_GE(lost, 0);
    const int connecting = WaitForStatus("101 CONNECTING TO 127.0.0.1 " + std::to_string(second.Port()), static_cast<std::size_t>(lost));
    ASSERT_GE(connecting, 0);
    EXPECT_GE(WaitForStatus("165", static_cast<std::size_t>(connecting)), 0);
}

TEST_F(ClientLink, DestructionReturnsPromptlyWhateverTheThreadDoes)
{
    struct Case {
        const char* name;
        bool server;
        const char* serverText;
        const char* stage;    // status that shows the thread is there
        bool keepPumping;     // false: the thread blocks in a hand-over to the main thread
    };
    const std::vector<Case> cases = {
        {"pausing after a refused connect", false, "127.0.0.1", "101", true},
        {"discovering", false, "auto", "700 LOST", true},
        {"reading", true, "127.0.0.1", "165", true},
        {"waiting for the main thread", true, "127.0.0.1", "165", false},
    };
    std::ofstream(dir / "send.txt") << "321 OBJECTUPDATE Late.x=1\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RumoServerProcess server;
        int port;
        {
            RumoServerProcess probe;
            ASSERT_TRUE(probe.Start(0));
            port = probe.Port();
        }
        if (c.server) {
            ASSERT_TRUE(server.Start(0, {"--send", ServerArg("send.txt")}));
            port = server.Port();
        }
        statuses.clear();
        MakeClient(port, c.serverText);
        client->Login("MERK", kPassword, "");
        ASSERT_GE(WaitForStatus(c.stage), 0);
        if (c.keepPumping)
            dispatcher.RunUntil([] { return false; }, 300ms);
        else
            std::this_thread::sleep_for(300ms);
        const auto start = std::chrono::steady_clock::now();
        client.reset();
        // A fault here waits out a 5 s pause, or forever on a read or a hand-over.
        EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
        dispatcher.ProcessPending();  // nothing of the client may be left to run
    }
}

}  // namespace
