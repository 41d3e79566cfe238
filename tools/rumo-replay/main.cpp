// rumo-replay: replays PDN games through librumo as a tournament server would, and scores the
// games the library gives back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <set>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "library/rumo.h"
#include "tools/common/pdn_reader.h"
#include "tools/rumo-replay/game_replay.h"
#include "tools/rumo-replay/replay_score.h"

namespace {

const char* const usage =
    "usage: rumo-replay [--model clean|hall] [--seed N] [--reversed] [--games LIST]\n"
    "                   [--print-pdn] [--library-output] FILE.pdn...\n"
    "  --model      how the pieces are handled: clean (one change at a time, the default)\n"
    "               or hall (as people do: touches, late captures, hops, slides, ...)\n"
    "  --seed N     seed of the hall model (default 1)\n"
    "  --reversed   the boards stand the other way round\n"
    "  --games LIST the games to replay, counted from 1 over all files: 1,4,10-20\n"
    "  --print-pdn  print the PDN the library gives for every game\n"
    "  --library-output  let the library's configuration printout through\n";

struct options {
    replay::hand_model model = replay::hand_model::clean;
    std::uint64_t seed = 1;
    bool reversed = false;
    bool print_pdn = false;
    bool library_output = false;
    std::set<int> games; // empty: all
    std::vector<std::string> files;
};

std::set<int> parse_game_list(const std::string& list)
{
    std::set<int> games;
    std::istringstream parts(list);
    for (std::string part; std::getline(parts, part, ',');) {
        const auto dash = part.find('-');
        const int first = std::stoi(part.substr(0, dash));
        const int last = dash == std::string::npos ? first : std::stoi(part.substr(dash + 1));
        if (first < 1 || last < first || last - first > 1000000)
            throw std::invalid_argument("bad game range " + part);
        for (int g = first; g <= last; ++g)
            games.insert(g);
    }
    return games;
}

options parse_options(int argc, char** argv)
{
    options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw std::invalid_argument(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--model") {
            const std::string model = value();
            if (model == "clean")
                o.model = replay::hand_model::clean;
            else if (model == "hall")
                o.model = replay::hand_model::hall;
            else
                throw std::invalid_argument("unknown model " + model);
        } else if (arg == "--seed") {
            o.seed = std::stoull(value());
        } else if (arg == "--reversed") {
            o.reversed = true;
        } else if (arg == "--games") {
            o.games = parse_game_list(value());
        } else if (arg == "--print-pdn") {
            o.print_pdn = true;
        } else if (arg == "--library-output") {
            o.library_output = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            std::exit(0);
        } else if (!arg.empty() && arg[0] == '-') {
            throw std::invalid_argument("unknown option " + arg);
        } else {
            o.files.push_back(arg);
        }
    }
    if (o.files.empty())
        throw std::invalid_argument("no PDN file given");
    return o;
}

// Swallows what the library prints on standard output (its configuration at every reset).
class quiet_stdout {
public:
    explicit quiet_stdout(bool quiet) : saved_(quiet ? std::cout.rdbuf(&sink_) : nullptr) {}
    ~quiet_stdout()
    {
        if (saved_ != nullptr)
            std::cout.rdbuf(saved_);
    }
    std::ostream& out() { return saved_ != nullptr ? own_ : std::cout; }
    quiet_stdout(const quiet_stdout&) = delete;
    quiet_stdout& operator=(const quiet_stdout&) = delete;

private:
    struct null_buffer : std::streambuf {
        int overflow(int c) override { return c; }
    } sink_;
    std::streambuf* saved_;
    std::ostream own_{saved_};
};

std::uint64_t game_seed(std::uint64_t seed, int game_number)
{
    // splitmix64 of the pair: neighbouring seeds and games get unrelated hands.
    std::uint64_t z = seed * 0x9E3779B97F4A7C15ULL + static_cast<std::uint64_t>(game_number);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::string percent(std::size_t part, std::size_t whole)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f%%",
                  whole == 0 ? 100.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

std::string milliseconds(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f ms", seconds * 1000);
    return text;
}

int run(const options& o)
{
    quiet_stdout quiet(!o.library_output);
    std::ostream& out = quiet.out();

    void* map = create_rumo_game_map();
    int number = 0, games = 0, exact = 0, setups = 0, unreadable = 0, clockless = 0;
    int board_errors = 0;
    std::size_t matched = 0, total = 0;
    std::vector<double> seconds;

    for (const std::string& file : o.files) {
        const auto pdn_games = rumo_tools::read_pdn_file(file);
        for (std::size_t k = 0; k < pdn_games.size(); ++k) {
            ++number;
            if (!o.games.empty() && !o.games.contains(number))
                continue;
            const rumo_tools::PdnGame& source = pdn_games[k];
            const std::string label = file.substr(file.find_last_of('/') + 1) + "#" +
                                      std::to_string(k + 1);
            // Hands of their own per game, so that --games replays a game as the full run did.
            replay::hands hands(o.model, game_seed(o.seed, number));
            const auto played = replay::replay_game(map, "board" + std::to_string(number),
                                                    source.start, source.moves, hands,
                                                    o.reversed, label);
            const replay::library_game read = replay::read_library_pdn(played.pdn);
            const std::size_t common = replay::common_moves(source.moves, read.moves);
            const bool is_exact = read.setups == 0 && read.unreadable == 0 &&
                                  read.moves.size() == source.moves.size() &&
                                  common == source.moves.size();

            ++games;
            exact += is_exact ? 1 : 0;
            setups += read.setups;
            unreadable += read.unreadable;
            clockless += read.lines_without_clock;
            board_errors += played.board_error.empty() ? 0 : 1;
            matched += common;
            total += source.moves.size();
            seconds.insert(seconds.end(), played.reconstruct_seconds.begin(),
                           played.reconstruct_seconds.end());

            out << number << ' ' << label << (is_exact ? "  exact  " : "  differs  ") << common
                << '/' << source.moves.size() << " moves, " << read.moves.size()
                << " in the PDN, " << read.setups << " setups";
            if (!read.error.empty())
                out << ", unreadable: " << read.error;
            if (!source.error.empty())
                out << ", source stops early: " << source.error;
            if (!played.board_error.empty())
                out << ", hands: " << played.board_error;
            out << '\n';
            if (o.print_pdn)
                out << played.pdn << "\n\n";
        }
    }
    destroy_rumo_game_map(map);

    const replay::timing_summary timing = replay::summarize(seconds);
    out << "games " << games << ", exact " << exact << '\n'
        << "moves matched " << matched << " of " << total << " (" << percent(matched, total)
        << ")\n"
        << "setups " << setups << ", unreadable PDN moves " << unreadable
        << ", lines without one clock comment " << clockless << '\n'
        << "reconstruct calls " << timing.calls << ", processor time median "
        << milliseconds(timing.median) << ", 99th percentile "
        << milliseconds(timing.percentile_99) << ", maximum " << milliseconds(timing.maximum)
        << '\n';
    out.flush();
    return board_errors == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(parse_options(argc, argv));
    } catch (const std::exception& error) {
        std::cerr << "rumo-replay: " << error.what() << '\n' << usage;
        return 2;
    }
}
