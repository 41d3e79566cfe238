// The exported game functions under arbitrary calls: event code texts (continuing or not),
// position texts, buffer sizes, times and a few interleaved board ids.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "library/rumo.h"

namespace {

class input {
public:
    input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string text(std::size_t length)
    {
        std::string t;
        while (length-- > 0 && !empty())
            t += static_cast<char>(byte());
        return t;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Mostly valid codes, so that the games get somewhere; now and then anything at all.
char code_char(std::uint8_t b)
{
    static const std::string squares = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";
    static const std::string pieces = "PBpb_";
    if (b & 0x80)
        return static_cast<char>(b & 0x7f);
    return (b & 1) ? pieces[(b >> 1) % pieces.size()] : squares[(b >> 1) % squares.size()];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    input in(data, size);
    void* map = create_rumo_game_map();
    const char* ids[] = {"1", "2", "3"};
    std::string codes[3];
    double time = 0;
    std::vector<char> buffer(4096);

    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        const int board = op % 3;
        time += in.byte() / 8.0;
        switch ((op >> 2) % 5) {
        case 0: {
            std::string position = in.text(in.byte() % 64);
            reset_game(map, ids[board], position.c_str(), time, "1:30:00", "1:29:00", "", "", "",
                       (op & 0x80) != 0);
            codes[board].clear();
            break;
        }
        case 1:
        case 2: {
            const std::size_t n = in.byte() % 8;
            for (std::size_t i = 0; i < n && !in.empty(); ++i)
                codes[board] += code_char(in.byte());
            update_game_events(map, ids[board], codes[board].c_str(), time, "1:00:00",
                               "0:59:59");
            break;
        }
        case 3: {
            const int sizes[] = {-1, 0, 1, 60, static_cast<int>(buffer.size())};
            int complete = 0;
            reconstruct_game(map, ids[board], time, sizes[in.byte() % 5], buffer.data(),
                             &complete);
            break;
        }
        case 4: {
            std::string text = in.text(in.byte() % 24);
            const int length = static_cast<int>(text.size());
            text.resize(text.size() + 8);
            set_white(text.data(), length);
            set_black(text.data(), length + (op >> 7));
            break;
        }
        }
    }
    destroy_rumo_game_map(map);
    return 0;
}
