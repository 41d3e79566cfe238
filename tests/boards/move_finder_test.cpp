#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "boards/chess_rules.h"
#include "boards/positions.h"
#include "boards/reconstructor.h"

namespace QVRProjects {
namespace {

using Cells = std::vector<int8_t>;

// The piece placement of a FEN text on the first 64 of 100 cells.
Cells FromFen(const std::string& fen) {
    Cells cells(100, 0);
    const std::string letters = " PRNBKQprnbkq";
    int cell = 0;
    for (char ch : fen) {
        if (ch == ' ') break;
        if (ch == '/') continue;
        if (ch >= '1' && ch <= '8') {
            cell += ch - '0';
        } else {
            cells[static_cast<size_t>(cell++)] = static_cast<int8_t>(letters.find(ch));
        }
    }
    return cells;
}

const std::string kStart = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR";

long Perft(int8_t* board, bool white, int depth, int32_t rules = chess::kStandardRules) {
    std::vector<chess::Move> moves;
    chess::GenerateMoves(board, white, ~uint64_t{0}, rules, moves, 1000);
    if (depth == 1) return static_cast<long>(moves.size());
    long total = 0;
    for (const chess::Move& m : moves) {
        int8_t after[64];
        std::memcpy(after, board, 64);
        chess::ApplyMove(after, m);
        total += Perft(after, !white, depth - 1, rules);
    }
    return total;
}

TEST(ChessRulesTest, MoveCountsOfKnownPositions) {
    struct Case {
        std::string fen;
        bool white;
        int depth;
        long moves;
    };
    const Case cases[] = {
        {kStart, true, 1, 20},
        {kStart, true, 3, 8902},
        // Castling both ways for both sides, pins, promotions-to-be and an en passant chance.
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R", true, 1, 48},
        {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R", true, 2, 2039},
    };
    for (const Case& c : cases) {
        Cells cells = FromFen(c.fen);
        EXPECT_EQ(Perft(cells.data(), c.white, c.depth), c.moves) << c.fen << " depth " << c.depth;
    }
}

TEST(ChessRulesTest, CastlingArrangements) {
    // King on b1 between its rooks: only Chess960 castles.
    const Cells cells = FromFen("k7/8/8/8/8/8/8/RK5R");
    auto castlings = [&](int32_t rules) {
        std::vector<chess::Move> moves;
        chess::GenerateMoves(cells.data(), true, ~uint64_t{0}, rules, moves, 500);
        std::vector<std::string> results;
        for (const chess::Move& m : moves) {
            if (m.kind != chess::Castling) continue;
            int8_t after[64];
            std::memcpy(after, cells.data(), 64);
            chess::ApplyMove(after, m);
            std::string rank;
            for (int c = 56; c < 64; ++c) rank += " PRNBKQ"[after[c] < 7 ? after[c] : 0];
            results.push_back(rank);
        }
        return results;
    };
    EXPECT_TRUE(castlings(chess::kStandardRules).empty());
    EXPECT_EQ(castlings(chess::kChess960Rules), (std::vector<std::string>{"  KR   R", "R    RK "}));
}

TEST(ReconstructorTest, FindMoveScores) {
    CQVR_Reconstructor finder;
    const Cells start = FromFen(kStart);
    const Cells e4 = FromFen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR");
    CQVR_SearchResult r = finder.FindMove(start.data(), e4.data(), true);
    EXPECT_EQ(r.score, 64);
    EXPECT_EQ(r.plies, 1);
    EXPECT_EQ(finder.BestMove().from, 52);
    EXPECT_EQ(finder.BestMove().to, 36);
    // The wrong side finds nothing that fits.
    r = finder.FindMove(start.data(), e4.data(), false);
    EXPECT_LT(r.score, 64);
    // Nothing changed: no move at all.
    r = finder.FindMove(start.data(), start.data(), true);
    EXPECT_EQ(r.score, 0);
    EXPECT_EQ(r.plies, 0);
    // Pawn e2 and knight g1 vanished: every move of theirs would put a piece on
    // a cell that already agreed, which rules the board out.
    const Cells vanished = FromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPP1PPP/RNBQKB1R");
    r = finder.FindMove(start.data(), vanished.data(), true);
    EXPECT_EQ(r.score, 0);
}

// Texts of the last position of a sequence of boards.
struct MoveTextCase {
    const char* name;
    std::vector<std::string> fens;
    std::string expected;
};

class MoveTextTest : public testing::TestWithParam<MoveTextCase> {};

TEST_P(MoveTextTest, LastPositionReadsAs) {
    TPosSequences history;
    TChessPosition* last = nullptr;
    for (const std::string& fen : GetParam().fens) last = history.AddPosition(FromFen(fen).data());
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->MoveText(false), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, MoveTextTest,
    testing::Values(
        MoveTextCase{"PawnDoubleStep", {kStart, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR"}, "e2-e4"},
        MoveTextCase{"Knight", {kStart, "rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R"}, "Ng1-f3"},
        MoveTextCase{"BlackReply",
                     {kStart, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR",
                      "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR"},
                     "e7-e5"},
        MoveTextCase{"Capture", {"4k3/8/2n5/1B6/8/8/8/4K3", "4k3/8/2B5/8/8/8/8/4K3"}, "Bb5xc6+"},
        MoveTextCase{"Check", {"4k3/8/8/8/8/8/8/3QK3", "3Qk3/8/8/8/8/8/8/4K3"}, "Qd1-d8+"},
        MoveTextCase{"WhiteShortCastling", {"4k3/8/8/8/8/8/8/4K2R", "4k3/8/8/8/8/8/8/5RK1"}, "O-O"},
        MoveTextCase{"BlackLongCastling",
                     {"r3k3/8/8/8/8/8/8/6K1", "r3k3/8/8/8/8/8/8/7K", "2kr4/8/8/8/8/8/8/7K"},
                     "O-O-O"},
        MoveTextCase{"Promotion", {"8/4P3/k7/8/8/8/8/7K", "4Q3/8/k7/8/8/8/8/7K"}, "e7-e8=Q"},
        MoveTextCase{"CapturePromotion", {"4r3/3P4/k7/8/8/8/8/7K", "4N3/8/k7/8/8/8/8/7K"}, "d7xe8=N"},
        MoveTextCase{"EnPassant",
                     {"4k3/3p4/8/4P3/8/8/8/4K3", "4k3/8/8/3pP3/8/8/8/4K3", "4k3/8/3P4/8/8/8/8/4K3"},
                     "e5xd6ep"},
        MoveTextCase{"FirstPosition", {"4k3/8/8/8/8/8/4P3/8"}, "{start} {k@e8}  {P@e2} "},
        MoveTextCase{"EmptiedCell", {"4k3/8/8/8/8/8/4P3/8", "4k3/8/8/8/8/8/8/8"}, " {_@e2} "},
        // Lifted and put back: the piece reappears where it was, which no move explains.
        MoveTextCase{"PutBack",
                     {"4k3/8/8/8/8/8/4P3/8", "4k3/8/8/8/8/8/8/8", "4k3/8/8/8/8/8/4P3/8"},
                     " {P@e2} "}),
    [](const testing::TestParamInfo<MoveTextCase>& p) { return std::string(p.param.name); });

TEST(ChangeNotesTest, CellsBeyondTheChessBoard) {
    TPosSequences history;
    std::vector<int8_t> cells(100, 0);
    cells[66] = 4;
    cells[75] = 1;
    cells[99] = 10;
    TChessPosition* first = history.AddPosition(cells.data());
    EXPECT_EQ(first->MoveText(false), "{start} {B@c_}  {P@dP}  {b@dB} ");
    EXPECT_EQ(first->DetectMove()->fromCell, 100);
    EXPECT_EQ(first->DetectMove()->kind, 100);
    // A change off the chess board has no move either.
    cells[75] = 0;
    cells[76] = 1;
    TChessPosition* second = history.AddPosition(cells.data());
    EXPECT_EQ(second->MoveText(false), " {_@dP}  {P@eP} ");
    EXPECT_FALSE(second->DetectMove()->IsFound());
}

TEST(UndoneMoveTest, TakenBackMoveIsHiddenInTheListing) {
    TPosSequences history;
    history.AddPosition(FromFen(kStart).data());
    TChessPosition* out = history.AddPosition(FromFen("rnbqkbnr/pppppppp/8/8/8/5N2/PPPPPPPP/RNBQKB1R").data());
    TChessPosition* back = history.AddPosition(FromFen(kStart).data());
    EXPECT_EQ(back->MoveText(false), "Nf3-g1");
    EXPECT_EQ(back->DetectMove()->undoes, out->DetectMove());
    EXPECT_EQ(out->DetectMove()->undoneBy, back->DetectMove());
    EXPECT_EQ(out->MoveText(true), "");
    EXPECT_EQ(out->MoveText(false), "Ng1-f3");
    EXPECT_EQ(back->MoveText(true), "Nf3-g1");
    EXPECT_EQ(back->moveScore, 63);
}

TEST(UndoneMoveTest, DifferentPieceDoesNotUndo) {
    // A knight goes out and a different knight comes to its old cell: not taken back.
    TPosSequences history;
    history.AddPosition(FromFen("4k3/8/8/8/8/8/8/4K1N1").data());
    TChessPosition* out = history.AddPosition(FromFen("4k3/8/8/8/8/5N2/8/4K3").data());
    TChessPosition* other = history.AddPosition(FromFen("4k3/8/8/8/8/5N2/8/4K1B1").data());
    EXPECT_EQ(out->MoveText(true), "Ng1-f3");
    EXPECT_EQ(other->DetectMove()->undoes, nullptr);
    EXPECT_EQ(out->DetectMove()->undoneBy, nullptr);
}

}  // namespace
}  // namespace QVRProjects
