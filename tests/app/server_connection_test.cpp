#include "app/server_connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "boards/board_interface.h"
#include "boards/board_protocol.h"
#include "objects/client.h"
#include "objects/statements.h"
#include "platform/dispatcher.h"
#include "tests/system/rumo_server_process.h"
#include "tests/support/text_files.h"

namespace {

using testsupport::ReadFile;
using testsupport::StartsWith;

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using QVRProjects::CQVRBoard;

// What the window's other parts were asked to do, in order.
class RecordingServices : public app::WindowServices {
public:
    struct OverviewCall {
        TAE_Object* object;
        bool deleted;
        std::string valueName;
        std::string valueText;
    };

    void Log(bool isError, std::string_view text) override
    {
        EXPECT_FALSE(isError);
        logs.emplace_back(text);
        calls.push_back("log " + std::string(text));
    }
    void AppendMemoLine(std::string_view) override {}
    void StopAll() override {}
    QVRProjects::CQVR_EventHandler BoardEventHandler() override { return {}; }
    void ButtonDisconnectClick() override {}
    void ExecuteBoardCommand(TAE_Object*, CQVRBoard*, std::string_view) override {}
    void UpdateOverviewRow(TAE_Event& event) override
    {
        overview.push_back({event.object, event.deleted, event.value ? event.value->name : "",
                            event.value ? event.value->value : ""});
    }
    void SetPacketRate(CQVRBoard*, double) override {}
    void ForgetBoardObject(TAE_Object* object) override
    {
        forgotten.push_back(object);
        calls.push_back("forget " + object->name);
    }
    void ResetPortRates(QVRProjects::CQVRBoardProtocol*) override {}

    std::vector<std::string> logs;
    std::vector<OverviewCall> overview;
    std::vector<TAE_Object*> forgotten;
    std::vector<std::string> calls;
};

class RecordingUi : public app::UserInterface {
public:
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> ChooseSaveFile(const std::string&) override { return std::nullopt; }
    std::unique_ptr<app::BoardDisplay> CreateBoardDisplay() override
    {
        throw std::logic_error("no board display here");
    }
    void Quit() override {}

    std::vector<std::string> messages;
};

// A port's boards without a port: enough for the login's walk over the boards.
class PortlessProtocol : public QVRProjects::CQVRBoardProtocol {
public:
    PortlessProtocol() : CQVRBoardProtocol("serialbus", {}) {}
    void Send(int32_t, const uint8_t*, int32_t, int32_t, int32_t, bool) override {}
    void SetExpectedBoards(int32_t) override {}
    bool Open(std::string_view) override { return false; }
    void Stop() override {}
    bool IsStopped() override { return true; }
    bool HasFailed() override { return false; }
    void UserCommand(int32_t, std::string_view, int32_t) override {}
    using CQVRBoardProtocol::AddBoard;
};

// The window's tree and state as the main window builds them, with the
// connection registered as the tree's handler.
class ServerConnectionTest : public ::testing::Test {
protected:
    ServerConnectionTest()
    {
        char pattern[] = "/tmp/rumo-serverconn-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            throw std::runtime_error("no temporary folder");
        dir = pattern;
        connection = std::make_unique<app::ServerConnection>(state, services, ui, dispatcher,
                                                             (dir / "zuva_client_log.txt").string());
        state.root = std::make_unique<TAE_Root>();
        state.root->AddHandler(&TAE_BoundMethod<app::ServerConnection, &app::ServerConnection::OnTreeEvent>,
                               connection.get());
        state.clientObject = state.root->FindObject("MERK", true);
        state.boardsCollection = state.clientObject->FindCollection("[boards]", true);
        state.connectionsCollection = state.clientObject->FindCollection("[connections]", true);
        state.gucsCollection = state.clientObject->FindCollection("[gucs]", true);
        state.uid = "_t5_";
        state.clientObject->SetValue("uid", state.uid);
        state.boardInterface = std::make_unique<QVRProjects::CQVRBoardInterface>();
        protocol = static_cast<PortlessProtocol*>(
            state.boardInterface->protocols.Append(std::make_unique<PortlessProtocol>()));
        services.logs.clear();
        services.calls.clear();
    }
    ~ServerConnectionTest() override
    {
        connection.reset();  // and the client with it
        fs::remove_all(dir);
    }

    TAE_Object* BoardObject(const std::string& name)
    {
        return state.boardsCollection->FindMember(name, true);
    }
    // A board of the port, attached to its object as the board records do it.
    CQVRBoard* AttachLocalBoard(TAE_Object* object, uint32_t address)
    {
        CQVRBoard* board = protocol->AddBoard(address);
        board->treeObject = object;
        object->ptrTags[0] = board;
        return board;
    }
    // A client that never connects, for what needs only its presence.
    void MakeIdleClient()
    {
        state.client = std::make_unique<TAEOS_Client>(app::ServerConnection::kDefaultPort, nullptr, nullptr, nullptr,
                                                      &dispatcher, (dir / "idle_client_log.txt").string());
    }
    bool Logged(const std::string& line) const
    {
        return std::find(services.logs.begin(), services.logs.end(), line) != services.logs.end();
    }

    fs::path dir;
    platform::MainThreadDispatcher dispatcher;
    app::WindowState state;
    RecordingServices services;
    RecordingUi ui;
    std::unique_ptr<app::ServerConnection> connection;
    PortlessProtocol* protocol = nullptr;
};

// ---- Connect and Disconnect without a server ----

TEST_F(ServerConnectionTest, SecretAddressTogglesTheDebugTabAndConnectsNothing)
{
    state.debugTabVisible = false;
    for (const bool visible : {true, false}) {
        state.serverAddress = "_vorpa";
        connection->ButtonConnectClick();
        EXPECT_EQ(state.debugTabVisible, visible);
        EXPECT_EQ(state.serverAddress, "");
        EXPECT_EQ(state.client, nullptr);
        EXPECT_EQ(state.connectLabel, "Not connected (click connect)");
        EXPECT_TRUE(state.connectEnabled);
        EXPECT_FALSE(state.disconnectEnabled);
    }
    EXPECT_EQ(state.clientObject->FindValue("client_ip", false), nullptr);
}

// The dispatcher is not run here, so the client's thread waits at its first
// status and never reaches a server on the default port.
TEST_F(ServerConnectionTest, PortTextChoosesThePortAndLaterConnectsReuseTheClient)
{
    state.serverAddress = "127.0.0.1";
    connection->ButtonConnectClick();
    ASSERT_NE(state.client, nullptr);
    EXPECT_EQ(state.client->port.load(), 50000);
    EXPECT_EQ(state.connectLabel, "Connecting");
    EXPECT_FALSE(state.connectEnabled);
    EXPECT_TRUE(state.disconnectEnabled);
    EXPECT_EQ(state.clientObject->GetValue("client_ip"), "127.0.0.1");
    EXPECT_EQ(state.clientObject->GetValue("client_port"), "default");

    connection->ButtonDisconnectClick();
    EXPECT_EQ(state.connectLabel, "Disconnected (user request)");
    EXPECT_TRUE(state.connectEnabled);
    EXPECT_FALSE(state.disconnectEnabled);

    const TAEOS_Client* first = state.client.get();
    state.serverPort = "50123";
    connection->ButtonConnectClick();
    EXPECT_EQ(state.client.get(), first);
    EXPECT_EQ(state.client->port.load(), 50123);
    EXPECT_EQ(state.clientObject->GetValue("client_port"), "50123");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ServerConnectionTest, PortTextThatNamesNoPortIsReportedAndConnectStaysPossible)
{
    for (const char* text : {"abc", "", "50000x", "70000", "0", "-1", "0x50"}) {
        SCOPED_TRACE(text);
        ui.messages.clear();
        state.connectLabel = "Disconnected (user request)";
        state.serverPort = text;
        connection->ButtonConnectClick();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_NE(ui.messages[0].find("'" + std::string(text) + "'"), std::string::npos) << ui.messages[0];
        EXPECT_EQ(state.connectLabel, "Disconnected (user request)");
        EXPECT_TRUE(state.connectEnabled);
        EXPECT_FALSE(state.disconnectEnabled);
        EXPECT_EQ(state.client, nullptr);
        EXPECT_EQ(state.clientObject->FindValue("client_port", false), nullptr);
    }
}

TEST_F(ServerConnectionTest, DisconnectWithoutClientDoesNothing)
{
    connection->ButtonDisconnectClick();
    EXPECT_EQ(state.connectLabel, "Not connected (click connect)");
    EXPECT_FALSE(state.disconnectEnabled);
}

// ---- Client status texts ----

TEST_F(ServerConnectionTest, StatusCodesDriveTheLabel)
{
    const struct {
        const char* status;
        const char* label;  // nullptr: unchanged
    } cases[] = {
        {"404 ERROR - DISCONNECTING", "Disconnected"},
        {"405 DISCONNECTING (requested)", "Disconnected"},
        {"499x", "Disconnected"},
        {"700 LOST", "Connecting"},
        {"165", nullptr},  // three characters: no code
        {"165 WELCOME", "Connected"},
        {"101 CONNECTING TO 127.0.0.1 50000", nullptr},
        {"701 HOST 127.0.0.1 50000", nullptr},
        {"320 OBJECTUPDATE X.a=1", nullptr},
        {"500 SOMETHING", nullptr},
        {"40", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        state.connectLabel = "before";
        connection->OnClientStatus(c.status);
        EXPECT_EQ(state.connectLabel, c.label ? c.label : "before");
    }
}

TEST_F(ServerConnectionTest, StatusIsLoggedAtClientServerAndAllLevelsOnly)
{
    for (int level = 0; level <= 5; ++level) {
        SCOPED_TRACE(level);
        services.logs.clear();
        state.logLevel = level;
        connection->OnClientStatus("101 CONNECTING TO h 1");
        const bool logged = level == 3 || level == 5;
        EXPECT_EQ(services.logs, logged ? std::vector<std::string>{"[CLIENT] 101 CONNECTING TO h 1"}
                                        : std::vector<std::string>{});
    }
}

// ---- Tree events without a connection ----

TEST_F(ServerConnectionTest, TreeChangesAreLoggedUntilLoggingStops)
{
    state.clientObject->SetValue("note", "a");
    state.root->FindObject("(private)", true)->SetValue("secret", "b");
    EXPECT_EQ(services.logs, std::vector<std::string>{"[DB] MERK.note=a;\r\n"});
    state.loggingStopped = 1;
    state.clientObject->SetValue("note", "c");
    EXPECT_EQ(services.logs.size(), 1u);
}

TEST_F(ServerConnectionTest, OverviewSeesEveryBoardValueOnceBusAddressExists)
{
    MakeIdleClient();
    TAE_Object* local = BoardObject("QVR_h_serialbus_pts7_3");
    AttachLocalBoard(local, 3);
    local->SetValue("table", "1");  // no "busadres" yet: not shown
    EXPECT_TRUE(services.overview.empty());
    EXPECT_EQ(local->FindValue("clientid", false), nullptr);

    local->SetValue("busadres", "3");
    // The nested "clientid" change comes first; the outer call still reports its own value.
    ASSERT_EQ(services.overview.size(), 2u);
    EXPECT_EQ(services.overview[0].valueName, "clientid");
    EXPECT_EQ(services.overview[0].valueText, state.client->clientId);
    EXPECT_EQ(services.overview[1].object, local);
    EXPECT_EQ(services.overview[1].valueName, "busadres");
    EXPECT_EQ(services.overview[1].valueText, "3");
    EXPECT_TRUE(Logged("[DB] QVR_h_serialbus_pts7_3.busadres=3;\r\n"));

    services.overview.clear();
    TAE_Object* remote = BoardObject("QVR_other_serialbus_pts9_4");
    remote->SetValue("busadres", "4");
    remote->SetValue("table", "8");
    ASSERT_EQ(services.overview.size(), 2u);
    EXPECT_EQ(services.overview[1].valueName, "table");
    EXPECT_EQ(remote->FindValue("clientid", false), nullptr);

    services.overview.clear();
    state.clientObject->SetValue("x", "1");
    state.root->FindObject("Elsewhere", true)->SetValue("busadres", "1");
    EXPECT_TRUE(services.overview.empty());
}

TEST_F(ServerConnectionTest, BoardObjectDeletedByTheServerIsForgottenAndNotWrittenTo)
{
    MakeIdleClient();
    TAE_Object* object = BoardObject("QVR_h_serialbus_pts7_2");
    AttachLocalBoard(object, 2);
    object->SetValue("busadres", "2");
    object->FindValue("clientid", false)->value = "stale";  // so that a refresh would show
    services.calls.clear();

    // The deletions of its values come first; none may write "clientid" back.
    state.root->Apply("delete QVR_h_serialbus_pts7_2;\r\n");
    ASSERT_EQ(services.forgotten.size(), 1u);
    EXPECT_EQ(services.forgotten[0], object);
    EXPECT_EQ(state.root->FindObject("QVR_h_serialbus_pts7_2", false), nullptr);
    const auto forget = std::find(services.calls.begin(), services.calls.end(), "forget QVR_h_serialbus_pts7_2");
    ASSERT_NE(forget, services.calls.end());
    EXPECT_EQ(*(forget + 1), "log [DB] delete QVR_h_serialbus_pts7_2");
    for (const auto& call : services.calls)
        EXPECT_EQ(call.find(".clientid="), std::string::npos) << call;
}

// ---- Board commands ----

TEST_F(ServerConnectionTest, BoardCommandsActOnTheBoardAndResetTheCommand)
{
    TAE_Object* object = BoardObject("QVR_h_serialbus_pts7_1");
    CQVRBoard* board = AttachLocalBoard(object, 1);
    const auto run = [&](const char* word) {
        object->SetValue("command", word);
        connection->ExecuteBoardCommand(object, board, word);
        return object->GetValue("command");
    };

    EXPECT_EQ(run("history"), "");
    EXPECT_EQ(object->GetValue("history"), "#");
    board->AddPosition(board->squares);
    EXPECT_EQ(run("history"), "");
    EXPECT_TRUE(StartsWith(object->GetValue("history"), "@0:")) << object->GetValue("history");

    EXPECT_EQ(run("fromstart"), "");
    EXPECT_EQ(board->fromStartRequested, 1);
    EXPECT_EQ(run("writetag"), "");
    EXPECT_EQ(board->writeTagRequested, 1);
    EXPECT_EQ(run("rotateclock"), "");
    EXPECT_EQ(board->clocksSwapped, 1);
    EXPECT_EQ(run("rotateclock"), "");
    EXPECT_EQ(board->clocksSwapped, 0);

    EXPECT_EQ(run("Rotateclock"), "Rotateclock");
    EXPECT_EQ(board->clocksSwapped, 0);

    object->SetValue("command", "rotateclock");
    connection->ExecuteBoardCommand(object, nullptr, "rotateclock");
    EXPECT_EQ(object->GetValue("command"), "rotateclock");
}

// ---- Against the reference server ----

int IndexOf(const std::vector<std::string>& list, const std::string& item)
{
    const auto at = std::find(list.begin(), list.end(), item);
    return at == list.end() ? -1 : static_cast<int>(at - list.begin());
}

class ServerLinkTest : public ServerConnectionTest {
protected:
    void StartServerAndConnect()
    {
        ASSERT_TRUE(fs::exists(RumoServerProcess::BinaryPath()));
        ASSERT_TRUE(server.Start(0, {"--log", (dir / "server.log").string(), "--tree-out", TreeFile().string()}));
        state.serverAddress = "127.0.0.1";
        state.serverPort = std::to_string(server.Port());
        connection->ButtonConnectClick();
        ASSERT_TRUE(dispatcher.RunUntil([&] { return state.connectLabel == "Connected"; }, 60s))
            << state.connectLabel;
    }
    fs::path TreeFile() const { return dir / "tree.txt"; }

    // The server's tree as it last wrote it.
    std::unique_ptr<TAE_Root> ServerTree() const
    {
        auto tree = std::make_unique<TAE_Root>();
        tree->Apply(ReadFile(TreeFile()));
        return tree;
    }
    std::string ServerValue(const std::string& object, const std::string& value) const
    {
        const auto tree = ServerTree();
        const TAE_Object* found = tree->FindObject(object, false);
        return found ? found->GetValue(value) : std::string();
    }
    bool WaitForServerValue(const std::string& object, const std::string& value, const std::string& text)
    {
        return dispatcher.RunUntil([&] { return ServerValue(object, value) == text; }, 60s);
    }
    static bool IsBoardMember(TAE_Root& tree, const std::string& name)
    {
        TAE_Object* merk = tree.FindObject("MERK", false);
        TAE_KeyCollection* boards = merk ? merk->FindCollection("[boards]", false) : nullptr;
        if (!boards)
            return false;
        for (const TAE_Object* member : boards->members)
            if (member->name == name)
                return true;
        return false;
    }

    RumoServerProcess server;
};

TEST_F(ServerLinkTest, AcceptedLoginSendsTheComputerObjectAndEveryLocalBoardObject)
{
    // Made while no client exists: none of it can have been sent before the login.
    TAE_Object* computer = state.gucsCollection->FindMember("g" + state.uid, true);
    computer->SetValue("pcname", "hall3");
    TAE_Object* local = BoardObject("QVR_hall3_serialbus_pts7_1");
    local->SetValue("busadres", "1");
    AttachLocalBoard(local, 1);
    local->SetValue("table", "5");
    AttachLocalBoard(BoardObject("QVR_hall3_serialbus_pts7_2"), 2);  // no values yet
    protocol->AddBoard(3);                                            // no object yet
    BoardObject("QVR_remote_serialbus_pts1_9")->SetValue("busadres", "9");

    StartServerAndConnect();
    // The login's sends are done once the label shows it; what follows arrives after them.
    computer->SetValue("username", "last");
    ASSERT_TRUE(WaitForServerValue("g" + state.uid, "username", "last"));
    const std::string id = state.client->clientId;
    EXPECT_EQ(local->GetValue("clientid"), id);

    const auto tree = ServerTree();
    EXPECT_EQ(tree->FindObject("g" + state.uid, false)->GetValue("pcname"), "hall3");
    const TAE_Object* serverBoard = tree->FindObject("QVR_hall3_serialbus_pts7_1", false);
    ASSERT_NE(serverBoard, nullptr);
    EXPECT_TRUE(IsBoardMember(*tree, "QVR_hall3_serialbus_pts7_1"));
    EXPECT_EQ(serverBoard->GetValue("busadres"), "1");
    EXPECT_EQ(serverBoard->GetValue("table"), "5");
    EXPECT_EQ(serverBoard->GetValue("clientid"), id);
    EXPECT_EQ(tree->FindObject("QVR_hall3_serialbus_pts7_2", false), nullptr);
    EXPECT_EQ(tree->FindObject("QVR_remote_serialbus_pts1_9", false), nullptr);
    ASSERT_NE(tree->FindObject("MERK", false), nullptr);
    EXPECT_EQ(tree->FindObject("MERK", false)->FindValue("client_ip", false), nullptr);
    EXPECT_FALSE(state.connectEnabled);
    EXPECT_TRUE(state.disconnectEnabled);

    connection->ButtonDisconnectClick();
    EXPECT_EQ(state.connectLabel, "Disconnected (user request)");
    ASSERT_TRUE(dispatcher.RunUntil([&] { return !state.client->IsConnected(); }, 60s));
    dispatcher.ProcessPending();
    EXPECT_EQ(state.connectLabel, "Disconnected (user request)");
}

TEST_F(ServerLinkTest, ChangesReachTheServerByTheSendRules)
{
    StartServerAndConnect();
    const std::string id = state.client->clientId;
    const std::string uid = state.uid;

    // A board the server does not know: announced with its bus address; later values stay here.
    TAE_Object* remote = BoardObject("QVR_other_serialbus_pts1_5");
    remote->SetValue("busadres", "5");
    remote->SetValue("table", "7");

    // A new local board: announced while not yet attached, then every value with "clientid".
    TAE_Object* local = BoardObject("QVR_hall3_serialbus_pts7_6");
    local->SetValue("busadres", "6");
    AttachLocalBoard(local, 6);
    local->SetValue("table", "9");
    local->FindKey("connection", true)->SetTarget(uid);

    state.clientObject->SetValue("note", "never sent");
    TAE_Object* connectionObject = state.connectionsCollection->FindMember(uid, true);
    connectionObject->FindKey("guc", true)->SetTarget("g" + uid);
    TAE_Object* computer = state.gucsCollection->FindMember("g" + uid, true);
    computer->SetValue("pcname", "hall3");
    computer->SetValue("username", "last");  // sent last: when it is there, all is

    ASSERT_TRUE(WaitForServerValue("g" + uid, "username", "last"));
    const auto tree = ServerTree();
    TAE_Object* serverRemote = tree->FindObject("QVR_other_serialbus_pts1_5", false);
    ASSERT_NE(serverRemote, nullptr);
    EXPECT_TRUE(IsBoardMember(*tree, "QVR_other_serialbus_pts1_5"));
    EXPECT_EQ(serverRemote->GetValue("busadres"), "5");
    EXPECT_EQ(serverRemote->FindValue("table", false), nullptr);

    TAE_Object* serverLocal = tree->FindObject("QVR_hall3_serialbus_pts7_6", false);
    ASSERT_NE(serverLocal, nullptr);
    EXPECT_TRUE(IsBoardMember(*tree, "QVR_hall3_serialbus_pts7_6"));
    EXPECT_EQ(serverLocal->GetValue("busadres"), "6");
    EXPECT_EQ(serverLocal->GetValue("table"), "9");
    EXPECT_EQ(serverLocal->GetValue("clientid"), id);
    ASSERT_NE(serverLocal->FindKey("connection", false), nullptr);
    EXPECT_EQ(serverLocal->FindKey("connection", false)->targetName, uid);

    ASSERT_NE(tree->FindObject("MERK", false), nullptr);
    EXPECT_EQ(tree->FindObject("MERK", false)->FindValue("note", false), nullptr);
    TAE_Object* serverConnection = tree->FindObject(uid, false);
    ASSERT_NE(serverConnection, nullptr);
    ASSERT_NE(serverConnection->FindKey("guc", false), nullptr);
    EXPECT_EQ(serverConnection->FindKey("guc", false)->targetName, "g" + uid);

    const auto sent = StatementsServerReceived(dir / "server.log");
    const int member = IndexOf(sent, "MERK.[boards].QVR_other_serialbus_pts1_5");
    ASSERT_GE(member, 0);
    EXPECT_EQ(sent[static_cast<std::size_t>(member) + 1], "QVR_other_serialbus_pts1_5.busadres=5");
    const int clientId = IndexOf(sent, "QVR_hall3_serialbus_pts7_6.clientid=" + id);
    ASSERT_GE(clientId, 0);
    EXPECT_LT(clientId, IndexOf(sent, "QVR_hall3_serialbus_pts7_6.table=9"));
}

}  // namespace
