#include "app/server_connection.h"

#include <charconv>
#include <optional>
#include <utility>

#include "boards/event_lock.h"
#include "objects/client.h"
#include "objects/statements.h"
#include "platform/dispatcher.h"

namespace app {

namespace {

constexpr const char* kDebugTabToggle = "_vorpa";
constexpr int kLogClientServer = 3;
constexpr int kLogAll = 5;

// The port typed on the Settings page; none when it names no port.
std::optional<int> ParsePort(const std::string& text)
{
    if (text == "default")
        return ServerConnection::kDefaultPort;
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::nullopt;
    const auto last = text.find_last_not_of(' ');
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    int port = 0;
    const auto [stop, error] = std::from_chars(begin, end, port);
    if (error != std::errc() || stop != end || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

// Code of a status text from its first three characters, digits or not.
int StatusCode(const std::string& line)
{
    return 100 * (line[0] - '0') + 10 * (line[1] - '0') + (line[2] - '0');
}

QVRProjects::CQVRBoard* LocalBoard(const TAE_Object* object)
{
    return static_cast<QVRProjects::CQVRBoard*>(object->ptrTags[0]);
}

}  // namespace

ServerConnection::ServerConnection(WindowState& state, WindowServices& services, UserInterface& ui,
                                   platform::MainThreadDispatcher& dispatcher, std::string clientLogPath)
    : state_(state), services_(services), ui_(ui), dispatcher_(dispatcher), clientLogPath_(std::move(clientLogPath))
{
}

ServerConnection::~ServerConnection()
{
    state_.client.reset();
}

void ServerConnection::ButtonConnectClick()
{
    if (state_.serverAddress == kDebugTabToggle) {
        state_.debugTabVisible = !state_.debugTabVisible;
        state_.serverAddress.clear();
        return;
    }
    const std::string labelBefore = state_.connectLabel;
    state_.connectLabel = "Connecting";
    state_.connectEnabled = false;

    const std::optional<int> port = ParsePort(state_.serverPort);
    if (!port) {
        // Back to where the user was, so a corrected port can be tried.
        ui_.ShowMessage("'" + state_.serverPort + "' is not a valid port number");
        state_.connectLabel = labelBefore;
        state_.connectEnabled = true;
        return;
    }

    if (!state_.client) {
        state_.client = std::make_unique<TAEOS_Client>(
            *port, [this](const std::string& line) { OnClientStatus(line); }, nullptr, nullptr, &dispatcher_,
            clientLogPath_);
        state_.client->SetModelLock(&QVRProjects::EventLock());
        state_.client->AttachRoot(state_.root.get());
    }
    state_.client->port = *port;
    state_.client->SetServer(state_.serverAddress);
    state_.client->Login(kLoginUser, kLoginPassword, "");
    state_.disconnectEnabled = true;

    TAE_Object* merk = state_.root->FindObject(kLoginUser, true);
    merk->SetValue("client_ip", state_.serverAddress);
    merk->SetValue("client_port", state_.serverPort);
}

void ServerConnection::ButtonDisconnectClick()
{
    if (!state_.client)
        return;
    state_.disconnectEnabled = false;
    state_.client->Disconnect();
    state_.connectLabel = "Disconnected (user request)";
    state_.connectEnabled = true;
}

void ServerConnection::OnClientStatus(const std::string& line)
{
    if (state_.logLevel == kLogClientServer || state_.logLevel == kLogAll)
        services_.Log(false, "[CLIENT] " + line);
    if (line.size() <= 3)
        return;
    const int code = StatusCode(line);
    if (code == 165) {
        state_.connectLabel = "Connected";
        SendLoginObjects();
    } else if (code == 700) {
        state_.connectLabel = "Connecting";
    } else if (code >= 400 && code <= 499) {
        state_.connectLabel = "Disconnected";
    }
}

// After every accepted login the server gets the computer object and every
// local board object whole, since changes made while disconnected were lost.
void ServerConnection::SendLoginObjects()
{
    TAEOS_Client* client = state_.client.get();
    if (!client)
        return;
    if (state_.root)
        client->SendObject(state_.root->FindObject("g" + state_.uid, false));
    if (!state_.boardInterface)
        return;
    for (QVRProjects::CQVRBoardProtocol* protocol : state_.boardInterface->protocols) {
        for (QVRProjects::CQVRBoard* board : *protocol) {
            TAE_Object* object = board->treeObject;
            if (!object || object->values.Count() == 0)
                continue;
            object->SetValue("clientid", client->clientId);
            client->SendObject(object);
        }
    }
}

void ServerConnection::OnTreeEvent(TAE_Event& event)
{
    // Nested changes below rewrite the shared event record: keep what is needed.
    const TAE_Event original = event;
    const std::string statement = DescribeEvent(event, true);
    TAE_Object* object = event.object;
    TAE_KeyCollection* collection = object ? object->owner : nullptr;
    const bool isBoard = collection && collection == state_.boardsCollection;
    const bool objectDeleted = event.deleted && !event.value && !event.key;
    const bool valueIsBusAddress = event.value && event.value->name == "busadres";

    if (isBoard && objectDeleted)
        services_.ForgetBoardObject(object);
    if (!state_.loggingStopped && !statement.empty())
        services_.Log(false, "[DB] " + statement);
    if (!object)
        return;

    TAEOS_Client* client = state_.client.get();
    // A deletion never writes "clientid": the object may be on its way out.
    const auto refreshClientId = [&] {
        if (!original.deleted)
            object->SetValue("clientid", client->clientId);
    };

    if (isBoard) {
        if (original.value && object->FindValue("busadres", false)) {
            if (client && !LocalBoard(object) && valueIsBusAddress) {
                // A board object the server has not heard of yet: announce it first.
                client->SendStatements(std::string("MERK.[boards].") + object->name + ";\r\n");
                client->SendStatements(statement);
            } else if (client && LocalBoard(object)) {
                refreshClientId();
                client->SendStatements(statement);
            }
            TAE_Event forOverview = original;
            services_.UpdateOverviewRow(forOverview);
            return;
        }
        if (original.value)
            return;
        if (client && LocalBoard(object)) {
            refreshClientId();
            client->SendStatements(statement);
        }
        if (!original.key)
            return;
    } else if (!collection || (collection != state_.connectionsCollection && collection != state_.gucsCollection)) {
        return;
    }
    if (client)
        client->SendStatements(statement);
}

void ServerConnection::ExecuteBoardCommand(TAE_Object* object, QVRProjects::CQVRBoard* board, std::string_view word)
{
    if (!object || !board)
        return;
    if (word == "history") {
        object->SetValue("history", board->HistoryText());
    } else if (word == "fromstart") {
        board->fromStartRequested = 1;
    } else if (word == "writetag") {
        board->writeTagRequested = 1;
    } else if (word == "rotateclock") {
        board->clocksSwapped = static_cast<std::uint8_t>(1 - board->clocksSwapped);
    } else {
        return;
    }
    object->SetValue("command", "");
}

}  // namespace app
