// The exported functions of librumo. Each one catches everything: nothing may unwind into a C
// caller. Everything else in the library stays hidden (see librumo.map).
#include "library/rumo.h"

#include <cstdint>
#include <cstring>
#include <ctime>
#include <exception>
#include <iostream>
#include <map>
#include <new>
#include <span>
#include <stdexcept>
#include <string>

#include "componentclasses/encryption.h"
#include "library/configuration_file.h"
#include "library/logfile.h"
#include "library/rumo_game.h"

#define RUMO_EXPORT __attribute__((visibility("default")))

namespace {

using game_map = std::map<std::string, dam::rumo_game>;

const char* const version_text = "0.5";
const char* const configuration_file_name = "ebs.config";

dam::logfile& library_log()
{
    static dam::logfile log = [] {
        dam::logfile opened(dam::logfile::name_at(std::time(nullptr)));
        std::cerr << "rumo.dll version: " << version_text << '\n'
                  << "rumo.dll logfile: " << opened.name() << std::endl;
        return opened;
    }();
    return log;
}

// Opens the log as soon as the library is loaded.
[[maybe_unused]] const bool log_opened_at_load = (library_log(), true);

// Reports a refused call or a failure that must not cross the C boundary.
void report_error(const char* function, const char* what)
{
    std::cerr << "Error: " << function << ": " << what << std::endl;
}

template <typename Result, typename Body>
Result guarded(const char* function, Result failure, Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::exception& error) {
        report_error(function, error.what());
    } catch (...) {
        report_error(function, "unknown exception");
    }
    return failure;
}

bool all_given(std::initializer_list<const char*> texts)
{
    for (const char* text : texts)
        if (text == nullptr)
            return false;
    return true;
}

dam::rumo_game* find_game(const char* function, void* map, const char* board_id)
{
    if (map == nullptr) {
        report_error(function, "null game map");
        return nullptr;
    }
    if (board_id == nullptr) {
        report_error(function, "null board id");
        return nullptr;
    }
    return &(*static_cast<game_map*>(map))[board_id];
}

} // namespace

extern "C" {

RUMO_EXPORT void* create_rumo_game_map(void)
{
    return guarded("create_rumo_game_map", static_cast<void*>(nullptr), [] {
        void* map = new game_map;
        std::cerr << "create_rumo_game_map " << map << std::endl;
        return map;
    });
}

RUMO_EXPORT void destroy_rumo_game_map(void* map)
{
    guarded("destroy_rumo_game_map", 0, [&] {
        std::cerr << "destroy_rumo_game_map " << map << std::endl;
        delete static_cast<game_map*>(map);
        return 0;
    });
}

RUMO_EXPORT void reset_game(void* map, const char* board_id, const char* position, double time,
                            const char* white_clock, const char* black_clock, const char* text1,
                            const char* text2, const char* text3, bool reversed)
{
    guarded("reset_game", 0, [&] {
        if (!all_given({position, white_clock, black_clock, text1, text2, text3})) {
            report_error("reset_game", "null text");
            return 0;
        }
        dam::rumo_game* game = find_game("reset_game", map, board_id);
        if (game == nullptr)
            return 0;
        dam::read_reconstructor_configuration(configuration_file_name, std::cout, std::cerr);
        library_log().stream() << board_id << ' ' << time << " reset  " << position << ' '
                               << white_clock << ' ' << black_clock << ' ' << text1 << ' '
                               << text2 << ' ' << text3 << std::endl;
        game->reset(position, white_clock, black_clock, time, text1, text2, text3, reversed);
        return 0;
    });
}

RUMO_EXPORT void update_game_events(void* map, const char* board_id, const char* event_codes,
                                    double time, const char* first_clock,
                                    const char* second_clock)
{
    guarded("update_game_events", 0, [&] {
        if (!all_given({event_codes, first_clock, second_clock})) {
            report_error("update_game_events", "null text");
            return 0;
        }
        dam::rumo_game* game = find_game("update_game_events", map, board_id);
        if (game == nullptr)
            return 0;
        library_log().stream() << board_id << ' ' << time << " update " << event_codes << ' '
                               << first_clock << ' ' << second_clock << std::endl;
        try {
            game->update_events(event_codes, time, first_clock, second_clock);
        } catch (const std::runtime_error& error) {
            std::cerr << error.what() << std::endl;
        }
        return 0;
    });
}

RUMO_EXPORT int reconstruct_game(void* map, const char* board_id, double time, int buffer_size,
                                 char* buffer, int* complete)
{
    if (complete != nullptr)
        *complete = 0;
    return guarded("reconstruct_game", -1, [&] {
        dam::rumo_game* game = find_game("reconstruct_game", map, board_id);
        if (game == nullptr)
            return -1;
        library_log().stream() << board_id << ' ' << time << " reconstruct" << std::endl;
        game->reconstruct(time);
        const std::string pdn = game->pdn_string();
        const int length = static_cast<int>(pdn.size());
        if (buffer != nullptr && length < buffer_size) {
            std::memcpy(buffer, pdn.data(), pdn.size());
            if (complete != nullptr)
                *complete = game->unmatched.empty() ? 1 : 0;
        }
        return length;
    });
}

RUMO_EXPORT int set_white(char* buffer, int length)
{
    if (length < 0 || (buffer == nullptr && length > 0)) {
        report_error("set_white", "no buffer of that length");
        return -1;
    }
    if (length == 0)
        return 0;
    return guarded("set_white", -1, [&] {
        const std::string enciphered =
            encryption::EncipherText(encryption::kCycles,
                                     std::string_view(buffer, static_cast<std::size_t>(length)),
                                     encryption::BuiltInKey());
        std::memcpy(buffer, enciphered.data(), enciphered.size());
        return static_cast<int>(enciphered.size());
    });
}

RUMO_EXPORT int set_black(char* buffer, int length)
{
    if (length < 0 || (buffer == nullptr && length > 0)) {
        report_error("set_black", "no buffer of that length");
        return -1;
    }
    const std::size_t blocks = static_cast<std::size_t>(length) / encryption::kBlockSize;
    auto* bytes = reinterpret_cast<std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < blocks; ++i)
        encryption::DecipherBlock(
            encryption::kCycles,
            std::span<std::uint8_t, encryption::kBlockSize>(bytes + i * encryption::kBlockSize,
                                                            encryption::kBlockSize),
            encryption::BuiltInKey());
    return length;
}

} // extern "C"

RUMO_EXPORT std::ostream& log() { return library_log().stream(); }
