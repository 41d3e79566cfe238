#pragma once
// The real games of the data folder, for tests that replay them.

#include <filesystem>
#include <string>
#include <vector>

#include "library/move.h"
#include "library/position.h"
#include "tools/common/pdn_reader.h"

namespace dam::testing {

// Every game that starts with white to move (the reconstructor always
// starts a game so), tagged with its file.
inline std::vector<rumo_tools::PdnGame> white_start_games() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(RUMO_GAMES_DIR))
    if (entry.path().extension() == ".pdn") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<rumo_tools::PdnGame> games;
  for (const auto& file : files) {
    for (auto& game : rumo_tools::read_pdn_file(file.string())) {
      if (game.moves.empty() || !game.start.is_white_to_move()) continue;
      game.tags.emplace_back("File", file.filename().string());
      games.push_back(std::move(game));
    }
  }
  return games;
}

inline std::string game_name(const rumo_tools::PdnGame& game) {
  return game.tag("File") + ":" + std::to_string(game.first_line);
}

inline std::string board_text(const Position& p) { return board_printer::print(p).substr(0, 50); }

inline std::vector<std::string> notations(std::vector<Move>::const_iterator first, std::vector<Move>::const_iterator last) {
  std::vector<std::string> out;
  for (auto m = first; m != last; ++m) out.push_back(m->notation());
  return out;
}

}  // namespace dam::testing
