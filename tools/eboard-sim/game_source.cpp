#include "tools/eboard-sim/game_source.h"

#include <stdexcept>

#include "tools/common/pdn_reader.h"

namespace eboardsim {

namespace {

uint8_t BoardPiece(dam::Piece piece) {
    switch (piece) {
        case dam::white_man:
            return kWhiteMan;
        case dam::black_man:
            return kBlackMan;
        case dam::white_king:
            return kWhiteKing;
        case dam::black_king:
            return kBlackKing;
        default:
            return kEmpty;
    }
}

SimGame ToSimGame(const rumo_tools::PdnGame& pdn) {
    SimGame game;
    game.title = pdn.tag("White") + " - " + pdn.tag("Black");
    for (int s = 1; s <= 50; ++s) game.start[static_cast<size_t>(s)] = BoardPiece(pdn.start.piece(s));
    game.whiteFirst = pdn.start.is_white_to_move();
    for (const dam::Move& move : pdn.moves) {
        SimMove simMove;
        simMove.from = move.from;
        simMove.to = move.to;
        simMove.result = BoardPiece(move.result);
        for (const auto& capture : move.captures) simMove.captured.push_back(capture.first);
        game.moves.push_back(std::move(simMove));
    }
    return game;
}

}  // namespace

std::optional<std::vector<SimGame>> LoadGames(const std::string& path, const std::vector<int>& indices,
                                              std::string& error) {
    std::vector<rumo_tools::PdnGame> pdn;
    try {
        pdn = rumo_tools::read_pdn_file(path);
    } catch (const std::exception& e) {
        error = e.what();
        return std::nullopt;
    }
    if (pdn.empty()) {
        error = "no games in " + path;
        return std::nullopt;
    }
    std::vector<SimGame> games;
    if (indices.empty()) {
        for (const auto& game : pdn) games.push_back(ToSimGame(game));
        return games;
    }
    for (int index : indices) {
        if (index < 0 || static_cast<size_t>(index) >= pdn.size()) {
            error = path + " holds " + std::to_string(pdn.size()) + " games; no game " + std::to_string(index);
            return std::nullopt;
        }
        games.push_back(ToSimGame(pdn[static_cast<size_t>(index)]));
    }
    return games;
}

}  // namespace eboardsim
