#include "tools/rumo-replay/replay_score.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "tools/common/pdn_reader.h"

namespace replay {

namespace {

std::size_t count_of(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

void read_stretch(const std::string& text, library_game& game)
{
    if (text.empty())
        return;
    for (const rumo_tools::PdnGame& read : rumo_tools::read_pdn(text)) {
        game.moves.insert(game.moves.end(), read.moves.begin(), read.moves.end());
        if (!read.error.empty()) {
            ++game.unreadable;
            if (game.error.empty())
                game.error = read.error;
        }
    }
}

} // namespace

library_game read_library_pdn(const std::string& pdn)
{
    library_game game;
    std::string stretch;
    std::istringstream lines(pdn);
    for (std::string line; std::getline(lines, line);) {
        if (count_of(line, "{[%clock ") != 1)
            ++game.lines_without_clock;
        if (line.rfind("/FEN ", 0) == 0) {
            read_stretch(stretch, game);
            ++game.setups;
            const auto end = line.find('/', 1);
            stretch.assign(1, '[');
            stretch.append(line, 1, end == std::string::npos ? std::string::npos : end - 1);
            stretch.append("]\n");
        } else {
            stretch += line + "\n";
        }
    }
    read_stretch(stretch, game);
    return game;
}

std::size_t common_moves(const std::vector<dam::Move>& played, const std::vector<dam::Move>& read)
{
    std::vector<std::size_t> row(read.size() + 1, 0), next(read.size() + 1, 0);
    for (std::size_t i = played.size(); i-- > 0;) {
        for (std::size_t j = read.size(); j-- > 0;)
            next[j] = played[i] == read[j] ? row[j + 1] + 1 : std::max(row[j], next[j + 1]);
        std::swap(row, next);
    }
    return row[0];
}

timing_summary summarize(std::vector<double> seconds)
{
    timing_summary summary;
    summary.calls = seconds.size();
    if (seconds.empty())
        return summary;
    std::sort(seconds.begin(), seconds.end());
    auto at = [&](double fraction) {
        const auto index = static_cast<std::size_t>(
            std::ceil(fraction * static_cast<double>(seconds.size())) - 1);
        return seconds[std::min(index, seconds.size() - 1)];
    };
    summary.median = at(0.5);
    summary.percentile_99 = at(0.99);
    summary.maximum = seconds.back();
    return summary;
}

} // namespace replay
