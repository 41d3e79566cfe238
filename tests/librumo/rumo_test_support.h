#pragma once
// Helpers for driving librumo through its exported functions as a server would.

#include <string>
#include <vector>

#include "rumo.h"

namespace rumo_test {

// The start position in the server's letters, square 1 first.
inline const std::string start_position = "BBBBBBBBBBBBBBBBBBBB__________PPPPPPPPPPPPPPPPPPPP";

// The FEN line of the start position with both clocks at 1:30:00.
inline const std::string start_fen_line =
    "[FEN \"W:W31,32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47,48,49,50"
    ":B1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20\"] {[%clock W1:30:00 b1:30:00]}\n";

// The event code of a square change; piece in the server's letters, "_" for empty.
inline std::string code(int square, char piece, bool reversed = false)
{
    const int n = reversed ? square : 51 - square;
    const char square_code = n <= 10 ? char('0' + n - 1) : n <= 36 ? char('A' + n - 11)
                                                                   : char('a' + n - 37);
    return {square_code, piece};
}

// A map handle that is destroyed with the test.
class game_map {
public:
    game_map() : handle_(create_rumo_game_map()) {}
    ~game_map() { destroy_rumo_game_map(handle_); }
    game_map(const game_map&) = delete;
    game_map& operator=(const game_map&) = delete;
    void* get() const { return handle_; }

private:
    void* handle_;
};

struct pdn_result {
    int length = 0;
    int complete = -1;
    std::string text;
};

// reconstruct_game with a buffer large enough for any game of the tests.
inline pdn_result reconstruct(void* map, const char* board_id, double time)
{
    std::vector<char> buffer(1 << 16);
    pdn_result result;
    result.length = reconstruct_game(map, board_id, time, static_cast<int>(buffer.size()),
                                     buffer.data(), &result.complete);
    if (result.length > 0)
        result.text.assign(buffer.data(), static_cast<std::size_t>(result.length));
    return result;
}

} // namespace rumo_test
