#include "library/configuration_file.h"

#include "library/reconstructor_config.h"

#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/algorithm/string/trim.hpp>
#include <boost/lexical_cast.hpp>

#include <fstream>
#include <iomanip>
#include <ostream>
#include <stdexcept>
#include <vector>

namespace dam {

namespace {

constexpr int key_column_width = 29;

// Throws with the conversion's own message when the text is no value of the entry's kind.
void assign(const config_entry& entry, const std::string& text)
{
    std::visit(
        [&](auto* target) {
            using value_type = std::remove_pointer_t<decltype(target)>;
            if constexpr (std::is_same_v<value_type, unsigned>) {
                // lexical_cast wraps "-1" round to a huge count; a negative count is a typo.
                if (!text.empty() && text.front() == '-' &&
                    boost::lexical_cast<unsigned long long>(text.substr(1)) != 0)
                    throw std::invalid_argument(std::string(entry.key) +
                                                " takes no negative value");
                unsigned value = boost::lexical_cast<unsigned>(text);
                if (value < entry.minimum)
                    throw std::invalid_argument(std::string(entry.key) + " must be at least " +
                                                std::to_string(entry.minimum));
                *target = value;
            } else {
                *target = boost::lexical_cast<value_type>(text);
            }
        },
        entry.value);
}

void print_settings(std::span<const config_entry> entries, std::ostream& out)
{
    out << "move reconstructor configuration\n";
    for (const config_entry& entry : entries) {
        out << std::left << std::setw(key_column_width) << entry.key << std::right;
        std::visit([&](auto* value) { out << *value; }, entry.value);
        out << '\n';
    }
    out.flush();
}

} // namespace

void read_configuration(std::istream& in, const std::string& file_name,
                        std::span<const config_entry> entries, std::ostream& out,
                        std::ostream& err)
{
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        boost::algorithm::trim(line);
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    if (lines.empty())
        out << "Warning: could not read move reconstructor configuration from file " << file_name
            << '\n';

    for (const std::string& line : lines) {
        std::vector<std::string> parts;
        boost::algorithm::split(parts, line, boost::algorithm::is_any_of("="));
        if (parts.size() != 2)
            continue;
        for (std::string& part : parts)
            boost::algorithm::trim(part);
        for (const config_entry& entry : entries) {
            if (entry.key != parts[0])
                continue;
            try {
                assign(entry, parts[1]);
            } catch (const std::exception& error) {
                err << "Error: " << error.what() << std::endl;
            }
        }
    }
    print_settings(entries, out);
}

void read_configuration(const std::string& file_name, std::span<const config_entry> entries,
                        std::ostream& out, std::ostream& err)
{
    std::ifstream in(file_name);
    read_configuration(in, file_name, entries, out, err);
}

void read_reconstructor_configuration(const std::string& file_name, std::ostream& out,
                                      std::ostream& err)
{
    reconstructor_config& config = configuration();
    const config_entry entries[] = {
        {"STABLE_TIME", &config.stable_time},
        {"MAX_EVENTS", &config.max_events},
        {"MAX_WAIT_TIME", &config.max_wait_time},
        {"MAX_FIRST_DELAY_TIME", &config.max_first_delay_time},
        {"MAX_LAST_DELAY_TIME", &config.max_last_delay_time},
        {"MAX_MOVE_LENGTH", &config.max_move_length},
        // A search is made at every multiple of it, so it must be at least 1.
        {"EVENT_CHUNK_SIZE", &config.event_chunk_size, 1},
        {"LOWEST_PIECE_COUNT_THRESHOLD", &config.lowest_piece_count_threshold},
        {"RESET_IN_BEGIN_POSITION", &config.reset_in_begin_position},
        {"REPAIR_SETUP_DEPTH", &config.repair_setup_depth},
    };
    read_configuration(file_name, entries, out, err);
}

} // namespace dam
