#include "tools/rumo-server/game_keeper.h"

#include <cstdio>
#include <dlfcn.h>
#include <memory>
#include <fstream>
#include <vector>

#include "library/rumo.h"
#include "objects/tree.h"
#include "tools/rumo-server/server_log.h"

namespace rumoserver {

namespace {

constexpr const char* kStartPosition = "BBBBBBBBBBBBBBBBBBBB..........PPPPPPPPPPPPPPPPPPPP";
constexpr const char* kSequenceKey = "sequence=";

// The server's square number of an event code character: "0".."9" 1-10, "A".."Z" 11-36, "a".."n" 37-50.
int CodeNumber(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0' + 1;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 11;
    if (c >= 'a' && c <= 'n')
        return c - 'a' + 37;
    return 0;
}

std::string ClockOrZero(const std::string& clock)
{
    return clock.empty() ? "0:00:00" : clock;
}

}  // namespace

std::string PositionFromEventCodes(const std::string& codes, std::string board)
{
    board.resize(50, '.');
    for (std::size_t i = 0; i + 1 < codes.size(); i += 2) {
        const int n = CodeNumber(codes[i]);
        if (n == 0)
            continue;
        const char piece = codes[i + 1];
        board[static_cast<std::size_t>(50 - n)] = piece == 'P' || piece == 'B' || piece == 'p' || piece == 'b' ? piece : '.';
    }
    return board;
}

std::optional<std::string> EventCodesOfSequence(const std::string& value)
{
    const std::size_t colon = value.find(':');
    if (value.size() < 3 || value[0] != '@' || colon == std::string::npos || colon == 1
        || value.find_first_not_of("0123456789", 1) != colon)
        return std::nullopt;
    std::string codes = value.substr(colon + 1);
    while (!codes.empty() && (codes.back() == '\n' || codes.back() == '\r'))
        codes.pop_back();
    return codes;
}

std::string SafeFileName(const std::string& name)
{
    std::string safe = name;
    for (char& c : safe) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!plain)
            c = '_';
    }
    return safe.empty() ? "_" : safe;
}

// The exported functions of librumo, found by name; their types come from its header.
struct GameKeeper::Library {
    void* handle = nullptr;
    decltype(&::create_rumo_game_map) create_rumo_game_map = nullptr;
    decltype(&::destroy_rumo_game_map) destroy_rumo_game_map = nullptr;
    decltype(&::reset_game) reset_game = nullptr;
    decltype(&::update_game_events) update_game_events = nullptr;
    decltype(&::reconstruct_game) reconstruct_game = nullptr;

    template <typename F>
    bool Find(F& function, const char* name)
    {
        function = reinterpret_cast<F>(::dlsym(handle, name));
        return function != nullptr;
    }
};

GameKeeper::GameKeeper(ServerLog& log) : log_(log) {}

GameKeeper::~GameKeeper()
{
    if (library_) {
        if (map_)
            library_->destroy_rumo_game_map(map_);
        ::dlclose(library_->handle);
        delete library_;
    }
}

bool GameKeeper::Load(const std::string& libraryPath, const std::string& pdnDir, std::string& error)
{
    auto library = std::make_unique<Library>();
    library->handle = ::dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library->handle) {
        const char* reason = ::dlerror();
        error = "cannot load " + libraryPath + ": " + (reason ? reason : "unknown error");
        return false;
    }
    if (!library->Find(library->create_rumo_game_map, "create_rumo_game_map")
        || !library->Find(library->destroy_rumo_game_map, "destroy_rumo_game_map")
        || !library->Find(library->reset_game, "reset_game")
        || !library->Find(library->update_game_events, "update_game_events")
        || !library->Find(library->reconstruct_game, "reconstruct_game")) {
        error = libraryPath + " lacks the game functions";
        ::dlclose(library->handle);
        return false;
    }
    library_ = library.release();
    map_ = library_->create_rumo_game_map();
    pdnDir_ = pdnDir;
    return true;
}

double GameKeeper::Now() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void GameKeeper::OnStatement(TAE_Root& tree, const std::string& statement)
{
    const std::size_t dot = statement.find('.');
    if (!library_ || dot == std::string::npos || statement.compare(dot + 1, std::string_view(kSequenceKey).size(), kSequenceKey) != 0)
        return;
    const std::string name = statement.substr(0, dot);
    TAE_Object* object = tree.FindObject(name, false);
    if (!object || !object->owner || object->owner->name != "[boards]")
        return;
    const auto sequence = EventCodesOfSequence(object->GetValue("sequence"));
    if (!sequence)
        return;  // no positions yet
    const std::string& codes = *sequence;
    const std::string white = ClockOrZero(object->GetValue("clockwhite"));
    const std::string black = ClockOrZero(object->GetValue("clockblack"));
    const double time = Now();

    const bool known = boards_.count(name) != 0;
    Board& game = boards_[name];
    if (!known || codes.compare(0, game.baseCodes.size(), game.baseCodes) != 0) {
        // The first value, or a sequence that does not continue the last: the board as it stands.
        Reset(name, game, codes, white, black, time);
    } else {
        if (codes.size() > game.seen) {
            game.board = PositionFromEventCodes(codes.substr(game.seen & ~std::size_t{1}), game.board);
            game.seen = codes.size() & ~std::size_t{1};
        }
        if (game.board != kStartPosition)
            game.leftStart = true;
        if (game.leftStart && game.board == kStartPosition) {
            log_.Write("Board " + name + " is back in the start position: new game");
            Reset(name, game, codes, white, black, time);
        } else {
            const std::string events = codes.substr(game.baseCodes.size());
            library_->update_game_events(map_, name.c_str(), events.c_str(), time, white.c_str(), black.c_str());
        }
    }
    WritePdn(name, game, time);
}

void GameKeeper::Refresh()
{
    if (!library_)
        return;
    const double time = Now();
    for (auto& [name, game] : boards_)
        if (!game.complete)
            WritePdn(name, game, time);
}

void GameKeeper::Reset(const std::string& name, Board& game, const std::string& codes, const std::string& white,
                       const std::string& black, double time)
{
    game.baseCodes = codes;
    game.board = PositionFromEventCodes(codes);
    game.seen = codes.size() & ~std::size_t{1};
    game.leftStart = false;
    library_->reset_game(map_, name.c_str(), game.board.c_str(), time, white.c_str(), black.c_str(), "", "", "", false);
    log_.Write("Board " + name + " reset: " + game.board);
}

void GameKeeper::WritePdn(const std::string& name, Board& game, double time)
{
    std::vector<char> buffer(64 * 1024);
    int complete = 0;
    int length = library_->reconstruct_game(map_, name.c_str(), time, static_cast<int>(buffer.size()), buffer.data(),
                                            &complete);
    if (length >= static_cast<int>(buffer.size())) {
        buffer.resize(static_cast<std::size_t>(length) + 1);
        length = library_->reconstruct_game(map_, name.c_str(), time, static_cast<int>(buffer.size()), buffer.data(),
                                            &complete);
    }
    if (length < 0 || length >= static_cast<int>(buffer.size()))
        return;
    game.complete = complete != 0;
    std::string pdn(buffer.data(), static_cast<std::size_t>(length));
    if (pdn == game.pdn)
        return;
    game.pdn = std::move(pdn);
    const std::string path = pdnDir_ + "/" + SafeFileName(name) + ".pdn";
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << game.pdn;
        if (!out) {
            log_.Write("Cannot write " + temporary);
            return;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        log_.Write("Cannot replace " + path);
}

}  // namespace rumoserver
