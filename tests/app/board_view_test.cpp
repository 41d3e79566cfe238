#include "app/board_view.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "boards/board.h"
#include "boards/event_lock.h"
#include "objects/tree.h"

namespace app {
namespace {

using QVRProjects::CQVRBoard;
using QVRProjects::TChessPosition;

struct Sent {
    std::int32_t code;
    std::string text;
    bool operator==(const Sent&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Sent& sent) { return out << sent.code << ":" << sent.text; }

// Records what the view hands the display; thread-safe, since port workers
// feed the view as well.
class RecordingDisplay final : public BoardDisplay {
public:
    void SetNoticeHandler(NoticeHandler handler) override {
        std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
    }
    void SetMovie(const std::string& path) override {
        std::lock_guard lock(mutex_);
        movie = path;
    }
    void SetVariable(const std::string& name, const std::string& value) override {
        std::lock_guard lock(mutex_);
        variables_.emplace_back(name, value);
    }
    void SetCaption(const std::string& text) override {
        std::lock_guard lock(mutex_);
        caption = text;
    }
    void Show() override { visible = true; }
    void Hide() override { visible = false; }

    // As the display does it: on its own thread, without the event lock.
    void Notice(const std::string& command, const std::string& argument = "") {
        NoticeHandler handler;
        {
            std::lock_guard lock(mutex_);
            handler = handler_;
        }
        ASSERT_TRUE(handler) << "the view registered no notice handler";
        handler(command, argument);
    }
    void Ready() { Notice("ready"); }
    void Click(const std::string& button) { Notice("buttonclick", button); }

    // Commands as the display saw them: "app_data" always followed by "app_cmd".
    std::vector<Sent> Commands() {
        std::lock_guard lock(mutex_);
        std::vector<Sent> commands;
        for (std::size_t i = 0; i < variables_.size(); i += 2) {
            EXPECT_EQ(variables_[i].first, "app_data");
            if (i + 1 >= variables_.size()) {
                ADD_FAILURE() << "\"app_data\" without \"app_cmd\"";
                break;
            }
            EXPECT_EQ(variables_[i + 1].first, "app_cmd");
            commands.push_back({std::stoi(variables_[i + 1].second), variables_[i].second});
        }
        return commands;
    }
    // Commands sent since the last call.
    std::vector<Sent> TakeCommands() {
        std::vector<Sent> all = Commands();
        std::vector<Sent> fresh(all.begin() + static_cast<std::ptrdiff_t>(taken_), all.end());
        taken_ = all.size();
        return fresh;
    }

    std::string movie;
    std::string caption;
    bool visible = false;

private:
    std::mutex mutex_;
    NoticeHandler handler_;
    std::vector<std::pair<std::string, std::string>> variables_;
    std::size_t taken_ = 0;
};

// Cells with one white man on a square (1-50), so every position differs.
std::vector<int8_t> ManOn(int square) {
    std::vector<int8_t> cells(100, 0);
    cells[static_cast<std::size_t>(CQVRBoard::CellOfSquare(square - 1))] = QVRProjects::PieceCode::WhiteMan;
    return cells;
}

// A board object with its e-board, whose value events reach the view as the
// main window hands them over.
class BoardViewTest : public ::testing::Test {
protected:
    BoardViewTest() {
        auto owned = std::make_unique<RecordingDisplay>();
        display = owned.get();
        view = std::make_unique<BoardView>(std::move(owned));
        object = root.FindObject("QVR_HALL3_serialbus_pts3_17", true);
        object->ptrTags[0] = &board;
        root.AddHandler(&BoardViewTest::Forward, this);
    }
    ~BoardViewTest() override {
        view.reset();
    }

    static void Forward(void* self, TAE_Event* event) {
        auto* test = static_cast<BoardViewTest*>(self);
        if (event->object == test->object && test->view) {
            test->view->OnBoardChange(*event);
        }
    }

    TChessPosition* AddPosition(int square) { return board.AddPosition(ManOn(square).data()); }
    // A new position as the board publishes it.
    TChessPosition* Move(int square) {
        TChessPosition* position = AddPosition(square);
        Set("sequence", board.SequenceText(-1) + "\r\n");
        return position;
    }
    void Set(const std::string& name, const std::string& text) {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        object->SetValue(name, text);
    }
    void SetBoard() {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        view->SetBoardObject(object);
    }
    // Answers "ready" until the view has nothing left; returns what went out.
    std::vector<Sent> Drain() {
        for (int guard = 0; view->PendingCommands() > 0 && guard < 1000; ++guard) {
            display->Ready();
        }
        EXPECT_EQ(view->PendingCommands(), 0);
        return display->TakeCommands();
    }
    static Sent Shows(TChessPosition* position) { return {FlashCode::Position, position->PositionText()}; }

    CQVRBoard board{17, {}};
    TAE_Root root;
    TAE_Object* object = nullptr;
    RecordingDisplay* display = nullptr;
    std::unique_ptr<BoardView> view;
};

TEST_F(BoardViewTest, EmptyBoardIsSentFirstThenPlayersAndClocksOneCommandPerReady) {
    Set("table", "5");
    Set("busadres", "17");
    Set("whiteplayer", "Anna");
    Set("blackplayer", "Bert");
    Set("clockwhite", "1:05.09");
    Set("clockblack", "0:59.00");
    EXPECT_TRUE(display->TakeCommands().empty()) << "nothing goes out before a board is set";

    SetBoard();
    EXPECT_EQ(display->caption, "Table 5 (17)");
    EXPECT_EQ(display->TakeCommands(), (std::vector<Sent>{{1, kEmptyBoardText}}));
    EXPECT_EQ(std::string(kEmptyBoardText).size(), 128u);
    EXPECT_EQ(view->PendingCommands(), 5);

    std::vector<Sent> expected = {{2, "Anna"}, {3, "Bert"}, {4, "1:05.09"}, {5, "0:59.00"}};
    for (const Sent& next : expected) {
        display->Ready();
        EXPECT_EQ(display->TakeCommands(), std::vector<Sent>{next});
    }
    display->Ready();
    EXPECT_TRUE(display->TakeCommands().empty());
    EXPECT_EQ(view->PendingCommands(), 0);
    EXPECT_TRUE(view->MovieReady());
}

TEST_F(BoardViewTest, MissingValuesGiveEmptyTextsAndTheNewestPositionIsShown) {
    AddPosition(31);
    TChessPosition* last = AddPosition(26);
    SetBoard();
    EXPECT_EQ(display->caption, "Table  ()");
    EXPECT_EQ(Drain(), (std::vector<Sent>{Shows(last), {2, ""}, {3, ""}, {4, ""}, {5, ""}}));
    EXPECT_EQ(view->CurrentPosition(), last);
    EXPECT_TRUE(view->AtEnd());
}

TEST_F(BoardViewTest, SilentDisplayGetsOneCommandAndTheRestWaitInOrder) {
    SetBoard();
    Set("clockwhite", "0:10.00");
    Set("clockblack", "0:09.00");
    TChessPosition* moved = Move(33);
    Set("whiteplayer", "Anna");
    EXPECT_EQ(display->TakeCommands().size(), 1u);
    EXPECT_EQ(view->PendingCommands(), 9);

    std::vector<Sent> rest = Drain();
    ASSERT_EQ(rest.size(), 8u);
    EXPECT_EQ(rest[4], (Sent{4, "0:10.00"}));
    EXPECT_EQ(rest[5], (Sent{5, "0:09.00"}));
    EXPECT_EQ(rest[6], Shows(moved));
    EXPECT_EQ(rest[7], (Sent{2, "Anna"}));
}

TEST_F(BoardViewTest, FollowsNewPositionsOnlyWhileAtTheEnd) {
    TChessPosition* first = AddPosition(31);
    TChessPosition* second = AddPosition(27);
    SetBoard();
    Drain();

    TChessPosition* third = Move(22);
    EXPECT_EQ(Drain(), std::vector<Sent>{Shows(third)});

    display->Click("Previous");
    EXPECT_EQ(Drain(), std::vector<Sent>{Shows(second)});
    EXPECT_FALSE(view->AtEnd());

    TChessPosition* fourth = Move(18);
    Set("clockwhite", "0:42.00");
    EXPECT_EQ(Drain(), (std::vector<Sent>{{4, "0:42.00"}})) << "an old position stays, clocks still go out";
    EXPECT_EQ(view->CurrentPosition(), second);

    display->Click("Last");
    EXPECT_EQ(Drain(), std::vector<Sent>{Shows(fourth)});
    EXPECT_TRUE(view->AtEnd());
    TChessPosition* fifth = Move(13);
    EXPECT_EQ(Drain(), std::vector<Sent>{Shows(fifth)});

    // Stepping forward onto the newest position follows again as well.
    display->Click("First");
    display->Click("Next");
    display->Click("Next");
    display->Click("Next");
    EXPECT_EQ(Drain(), (std::vector<Sent>{Shows(first), Shows(second), Shows(third), Shows(fourth)}));
    EXPECT_FALSE(view->AtEnd());
    display->Click("Next");
    EXPECT_EQ(Drain(), std::vector<Sent>{Shows(fifth)});
    TChessPosition* sixth = Move(9);
    EXPECT_EQ(Drain(), std::vector<Sent>{Shows(sixth)});
}

TEST_F(BoardViewTest, ButtonsStepThroughTheHistory) {
    TChessPosition* first = AddPosition(31);
    TChessPosition* second = AddPosition(27);
    TChessPosition* third = AddPosition(22);
    SetBoard();
    Drain();

    struct Step {
        const char* button;
        TChessPosition* shown;  // none: nothing is sent
    };
    const Step steps[] = {
        {"Next", nullptr},  // at the last position
        {"Previous", second},
        {"Previous", first},
        {"Previous", nullptr},  // at the first position
        {"Next", second},
        {"Last", third},
        {"First", first},
        {"First", first},  // shown again, though unchanged
        {"next", nullptr},  // names are exact
        {"Middle", nullptr},
    };
    TChessPosition* current = third;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.button);
        display->Click(step.button);
        if (step.shown != nullptr) {
            EXPECT_EQ(Drain(), std::vector<Sent>{Shows(step.shown)});
            current = step.shown;
        } else {
            EXPECT_TRUE(display->TakeCommands().empty());
        }
        EXPECT_EQ(view->CurrentPosition(), current);
        EXPECT_EQ(view->AtEnd(), current == third);
    }

    display->Notice("quit", "");
    EXPECT_TRUE(display->TakeCommands().empty());
    EXPECT_EQ(view->PendingCommands(), 0);
}

TEST_F(BoardViewTest, ViewOpenedBeforeTheFirstPositionFollowsTheBoard) {
    SetBoard();
    Drain();
    EXPECT_EQ(view->CurrentPosition(), nullptr);
    TChessPosition* first = Move(31);
    EXPECT_EQ(Drain(), std::vector<Sent>{Shows(first)});
    EXPECT_TRUE(view->AtEnd());
}

TEST_F(BoardViewTest, ButtonsWithoutHistoryShowTheEmptyBoard) {
    SetBoard();
    Drain();
    for (const char* button : {"First", "Last", "Previous", "Next"}) {
        SCOPED_TRACE(button);
        display->Click(button);
        EXPECT_EQ(Drain(), (std::vector<Sent>{{1, kEmptyBoardText}}));
    }
}

TEST_F(BoardViewTest, WithoutShownPositionPreviousGoesToFirstAndNextToLast) {
    for (bool previous : {true, false}) {
        SCOPED_TRACE(previous ? "Previous" : "Next");
        CQVRBoard fresh(17, {});
        object->ptrTags[0] = &fresh;
        SetBoard();  // no history yet: the empty board
        Drain();
        // Positions that no "sequence" value announced yet.
        TChessPosition* first = fresh.AddPosition(ManOn(31).data());
        fresh.AddPosition(ManOn(27).data());
        TChessPosition* last = fresh.AddPosition(ManOn(22).data());
        display->Click(previous ? "Previous" : "Next");
        EXPECT_EQ(Drain(), std::vector<Sent>{Shows(previous ? first : last)});
        object->ptrTags[0] = &board;
    }
}

TEST_F(BoardViewTest, ReplacedBoardRecordDoesNotReuseTheOldPosition) {
    AddPosition(31);
    AddPosition(27);
    SetBoard();
    Drain();
    display->Click("Previous");
    Drain();

    // The protocol restarted: the object gets a new e-board with its own history.
    auto restarted = std::make_unique<CQVRBoard>(17, QVRProjects::CQVR_EventHandler{});
    object->ptrTags[0] = restarted.get();
    TChessPosition* newFirst = restarted->AddPosition(ManOn(40).data());
    TChessPosition* newLast = restarted->AddPosition(ManOn(35).data());
    display->Click("Next");
    EXPECT_EQ(Drain(), std::vector<Sent>{Shows(newLast)});
    display->Click("Previous");
    EXPECT_EQ(Drain(), std::vector<Sent>{Shows(newFirst)});
    object->ptrTags[0] = &board;
    view.reset();
}

TEST_F(BoardViewTest, ObjectWithoutBoardRecord) {
    object->ptrTags[0] = nullptr;
    Set("whiteplayer", "Anna");
    SetBoard();
    EXPECT_EQ(display->caption, "not a local board?");
    EXPECT_EQ(view->Caption(), "not a local board?");
    display->Click("First");
    EXPECT_TRUE(display->TakeCommands().empty());
    // Value changes still go out; only the history needs the record.
    Set("clockwhite", "0:01.00");
    EXPECT_EQ(display->TakeCommands(), (std::vector<Sent>{{4, "0:01.00"}}));
}

TEST_F(BoardViewTest, NoticesBeforeABoardIsSetAreIgnored) {
    EXPECT_EQ(view->Caption(), "FormBoard");
    display->Ready();
    display->Click("First");
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        view->SetBoardObject(nullptr);
    }
    Set("clockwhite", "0:01.00");
    EXPECT_TRUE(display->TakeCommands().empty());
    EXPECT_EQ(view->PendingCommands(), 0);
    EXPECT_EQ(view->BoardObject(), nullptr);
}

TEST_F(BoardViewTest, RemovedValueClearsItsText) {
    Set("whiteplayer", "Anna");
    SetBoard();
    Drain();
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        object->RemoveMember("whiteplayer");
    }
    EXPECT_EQ(Drain(), (std::vector<Sent>{{2, ""}}));
}

TEST_F(BoardViewTest, ForgottenObjectIsNoLongerRead) {
    AddPosition(31);
    SetBoard();
    Drain();
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        view->ForgetBoardObject();
    }
    display->Click("First");
    Set("clockwhite", "0:01.00");
    EXPECT_TRUE(display->TakeCommands().empty());
    EXPECT_EQ(view->BoardObject(), nullptr);
}

TEST_F(BoardViewTest, ShowLoadsTheMovieBesideTheProgram) {
    {
        QVRProjects::EventLockGuard lock(QVRProjects::EventLock());
        view->Show();
    }
    EXPECT_TRUE(display->visible);
    const std::string suffix = std::string("/") + kBoardMovieFile;
    ASSERT_GT(display->movie.size(), suffix.size());
    EXPECT_EQ(display->movie.substr(display->movie.size() - suffix.size()), suffix);
    EXPECT_EQ(display->movie.front(), '/');
}

// Clock times come from a port worker while the display's "ready" notices
// come on the main thread; every command still goes out once, in order.
TEST_F(BoardViewTest, WorkerChangesAndReadyNoticesInterleave) {
    SetBoard();
    Drain();
    constexpr int kChanges = 300;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        for (int i = 0; i < kChanges; ++i) {
            Set("clockwhite", std::to_string(i));
        }
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        display->Ready();
        std::this_thread::yield();
    }
    worker.join();
    std::vector<Sent> sent = Drain();
    ASSERT_EQ(sent.size(), static_cast<std::size_t>(kChanges));
    for (int i = 0; i < kChanges; ++i) {
        EXPECT_EQ(sent[static_cast<std::size_t>(i)], (Sent{4, std::to_string(i)}));
    }
}

}  // namespace
}  // namespace app
