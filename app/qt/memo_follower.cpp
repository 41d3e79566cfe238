#include "app/qt/memo_follower.h"

namespace app::qt {

std::optional<MemoFollower::Change> MemoFollower::Take(const MemoBox& memo) {
    if (seen_ && memo.revision == revision_) return std::nullopt;
    const auto& lines = memo.lines;
    // Only the ends are compared, so that a long box is not copied on every line.
    const bool appended = seen_ && count_ <= lines.size() &&
                          (count_ == 0 || (lines.front() == first_ && lines[count_ - 1] == last_));
    Change change;
    change.rewritten = !appended;
    change.lines.assign(lines.begin() + static_cast<std::ptrdiff_t>(appended ? count_ : 0), lines.end());
    seen_ = true;
    revision_ = memo.revision;
    count_ = lines.size();
    first_ = lines.empty() ? std::string() : lines.front();
    last_ = lines.empty() ? std::string() : lines.back();
    return change;
}

}  // namespace app::qt
