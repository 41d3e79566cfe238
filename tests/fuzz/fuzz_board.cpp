// Board messages of any content and length: the board model, its history
// texts and the clock text encoder must neither crash nor overrun.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "boards/board.h"
#include "boards/board_log.h"
#include "boards/clock_text.h"

using namespace QVRProjects;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Records are still made, but a directory that does not exist keeps them off the disk.
    static const bool logAside = [] {
        CQVRBoardLog::SetDirectory("/nonexistent/fuzz_board");
        return true;
    }();
    (void)logAside;

    CQVRBoard board(0, [](CQVR_Event_Data* e) { (void)e->Text(); });
    using Apply = bool (CQVRBoard::*)(const uint8_t*, int32_t, int32_t);
    static constexpr Apply kOperations[] = {&CQVRBoard::ApplyVersion, &CQVRBoard::ApplyClockTimes,
                                            &CQVRBoard::ApplyBoardDump, &CQVRBoard::ApplyFieldUpdate,
                                            &CQVRBoard::ApplyMemoryDump};
    // Chunks: operation byte, length byte, message.
    size_t at = 0;
    while (at + 2 <= size) {
        const uint8_t op = data[at];
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        // A copy of exactly the message's size, so reads past it are caught.
        const std::vector<uint8_t> msg(data + at + 2, data + at + 2 + length);
        const int32_t offset = (op >> 4) % 7;
        (board.*kOperations[op % 5])(msg.data(), static_cast<int32_t>(msg.size()), offset);
        board.SetBusAddress(msg.data(), static_cast<int32_t>(msg.size()));
        CXL::EncodeShared(std::string_view(reinterpret_cast<const char*>(msg.data()), msg.size()), op);
        at += 2 + length;
    }
    (void)board.HistoryText();
    // Move texts cost a walk over the earlier positions; keep inputs quick.
    if (TPosSequence* s = board.LastSequence(); s != nullptr && s->positions.Count() <= 200) {
        for (TChessPosition* p : s->positions) (void)p->MoveText(true);
    }
    return 0;
}
