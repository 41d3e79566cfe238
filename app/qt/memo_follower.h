#pragma once
// Follows the Debug page's text box for a view: tells what was added since the
// last look, or that the box was rewritten (cleared or refilled).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/window_state.h"

namespace app::qt {

class MemoFollower {
public:
    struct Change {
        bool rewritten = false;  // lines replace what the view shows; else they follow it
        std::vector<std::string> lines;
    };

    // Under the event lock. None while the box has not changed.
    std::optional<Change> Take(const MemoBox& memo);

private:
    std::uint64_t revision_ = 0;
    bool seen_ = false;
    std::size_t count_ = 0;
    std::string first_;
    std::string last_;
};

}  // namespace app::qt
