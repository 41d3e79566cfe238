#pragma once
// Reader of the "key = value" settings file that steers the reconstruction.

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace dam {

// One setting: its key, the value it writes to, and for counts the lowest value that makes sense.
struct config_entry {
    std::string_view key;
    std::variant<double*, unsigned*, bool*> value;
    unsigned minimum = 0;
};

// Reads the file and sets every entry it names with a valid value; prints a warning to `out`
// when the file holds no line, an "Error: " line to `err` for every value it cannot take, and
// finally every setting to `out`. Values not named keep what they had.
void read_configuration(const std::string& file_name, std::span<const config_entry> entries,
                        std::ostream& out, std::ostream& err);

// Reads lines from a stream already open; the name only appears in the warning.
void read_configuration(std::istream& in, const std::string& file_name,
                        std::span<const config_entry> entries, std::ostream& out,
                        std::ostream& err);

// Reads the file into the process-wide reconstruction settings.
void read_reconstructor_configuration(const std::string& file_name, std::ostream& out,
                                      std::ostream& err);

} // namespace dam
