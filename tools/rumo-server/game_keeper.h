#pragma once
// Keeps one librumo game per board object of "[boards]": the board's
// "sequence" value is turned into a start position and the growing event code
// text, and the game's PDN is written to <pdn dir>/<board>.pdn after every change.

#include <chrono>
#include <map>
#include <optional>
#include <string>

class TAE_Root;

namespace rumoserver {

class ServerLog;

// The board as a server position text (50 squares, "P", "B", "p", "b", "." for empty)
// after the event codes of a sequence text; codes that name no square are skipped.
std::string PositionFromEventCodes(const std::string& codes, std::string board = std::string(50, '.'));
// The event codes of a "sequence" value: the text after "@n:", without the line end;
// none when the value holds no sequence ("#").
std::optional<std::string> EventCodesOfSequence(const std::string& value);
// A file name made of the board name: anything but letters, digits, "-" and "_" becomes "_".
std::string SafeFileName(const std::string& name);

class GameKeeper {
public:
    explicit GameKeeper(ServerLog& log);
    ~GameKeeper();
    GameKeeper(const GameKeeper&) = delete;
    GameKeeper& operator=(const GameKeeper&) = delete;

    bool Load(const std::string& libraryPath, const std::string& pdnDir, std::string& error);
    // After every statement applied to the tree; the caller serializes the calls.
    void OnStatement(TAE_Root& tree, const std::string& statement);
    // Now and then: moves wait for a quiet time before they count, so games with
    // unexplained changes are reconstructed again without a new statement.
    void Refresh();

private:
    struct Board {
        std::string baseCodes;  // the codes that gave the position of the last reset
        std::string board;      // position after all codes seen
        std::size_t seen = 0;   // codes applied to board
        bool leftStart = false; // the board differed from the start position since the reset
        bool complete = true;   // every change explained at the last reconstruction
        std::string pdn;        // as last written
    };
    struct Library;

    void Reset(const std::string& name, Board& game, const std::string& codes, const std::string& white,
               const std::string& black, double time);
    void WritePdn(const std::string& name, Board& game, double time);
    double Now() const;

    ServerLog& log_;
    std::string pdnDir_;
    Library* library_ = nullptr;
    void* map_ = nullptr;
    std::map<std::string, Board> boards_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace rumoserver
