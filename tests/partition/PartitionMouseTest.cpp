#include "PartitionTestSupport.h"

#include <QWindow>

namespace kadrel {
namespace {

using namespace testing;

struct ExtEvent {
    std::string Kind;
    Qt::MouseButton Button;
    TShiftState Shift;
    std::int32_t X, Y, Pos, LargePos;
    int NoteNum;
    TPartitionNote* Note;
};

// Real pointer events through the window that holds the control, so that Qt's own delivery,
// including its grab while a button is held, decides what the control receives.
class PartitionPointer : public ::testing::Test {
protected:
    ShownPartition Shown;
    RecordingPartition& P = *Shown.Partition;
    std::vector<ExtEvent> Events;
    std::vector<std::string> Order;

    void SetUp() override {
        P.OnExtMouseDown = [this](TPartition* sender, Qt::MouseButton button, TShiftState shift,
                                  std::int32_t x, std::int32_t y, std::int32_t pos,
                                  std::int32_t largePos, std::uint8_t noteNum,
                                  TPartitionNote* note) {
            EXPECT_EQ(sender, &P);
            Events.push_back({"down", button, shift, x, y, pos, largePos, noteNum, note});
            Order.push_back("ext down");
        };
        P.OnExtMouseMove = [this](TPartition* sender, TShiftState shift, std::int32_t x,
                                  std::int32_t y, std::int32_t pos, std::int32_t largePos,
                                  std::uint8_t noteNum, TPartitionNote* note) {
            EXPECT_EQ(sender, &P);
            Events.push_back({"move", Qt::NoButton, shift, x, y, pos, largePos, noteNum, note});
            Order.push_back("ext move");
        };
        P.OnExtMouseUp = [this](TPartition* sender, Qt::MouseButton button, TShiftState shift,
                                std::int32_t x, std::int32_t y, std::int32_t pos,
                                std::int32_t largePos, std::uint8_t noteNum, TPartitionNote* note) {
            EXPECT_EQ(sender, &P);
            Events.push_back({"up", button, shift, x, y, pos, largePos, noteNum, note});
            Order.push_back("ext up");
        };
    }

    QWindow* Window() { return Shown.Window.windowHandle(); }
    void Press(QPoint at, Qt::MouseButton button = Qt::LeftButton,
               Qt::KeyboardModifiers keys = {}) {
        QTest::mousePress(Window(), button, keys, Shown.InWindow(at));
    }
    void Move(QPoint at) { QTest::mouseMove(Window(), Shown.InWindow(at)); }
    void Release(QPoint at, Qt::MouseButton button = Qt::LeftButton,
                 Qt::KeyboardModifiers keys = {}) {
        QTest::mouseRelease(Window(), button, keys, Shown.InWindow(at));
    }
    // The grid terms of a press and release at one point. The pointer goes there first: Qt turns
    // a press away from the last known pointer position into a move and the press.
    ExtEvent Click(QPoint at) {
        Move(at);
        Events.clear();
        Press(at);
        Release(at);
        EXPECT_EQ(Events.size(), 2u);
        return Events.empty() ? ExtEvent{} : Events.front();
    }
};

TEST_F(PartitionPointer, RowUnderThePointer) {
    const std::pair<int, int> cases[] = {{0, 0},   {1, 81},   {4, 81},  {5, 79}, {48, 62},
                                         {49, 60}, {108, 36}, {109, 0}, {111, 0}};
    for (auto [y, noteNum] : cases) {
        const ExtEvent e = Click(QPoint(40, y));
        EXPECT_EQ(e.Y, y);
        EXPECT_EQ(e.NoteNum, noteNum) << "y " << y;
    }
}

TEST_F(PartitionPointer, PositionAndGridCellUnderThePointer) {
    struct Case {
        std::int32_t FirstMesure;
        int X;
        std::int32_t Pos;
        std::int32_t LargePos;
    };
    const Case cases[] = {{0, 0, 0, 0},    {0, 1, 0, 0},       {0, 2, 1, 0},     {0, 31, 15, 0},
                          {0, 32, 16, 16}, {0, 848, 424, 416}, {2, 0, 128, 128}, {2, 33, 144, 144}};
    for (const Case& c : cases) {
        P.SetFirstMesure(c.FirstMesure);
        const ExtEvent e = Click(QPoint(c.X, 60));
        EXPECT_EQ(e.X, c.X);
        EXPECT_EQ(e.Pos, c.Pos) << "x " << c.X;
        EXPECT_EQ(e.LargePos, c.LargePos) << "x " << c.X;
    }
}

TEST_F(PartitionPointer, MovesAndReleaseOutsideTheControlWhileAButtonIsHeld) {
    P.SetFirstMesure(2);
    Move(QPoint(10, 50));
    Events.clear();
    Press(QPoint(10, 50));
    Move(QPoint(-1, 50));
    Move(QPoint(-33, 112));
    Move(QPoint(849, -8));
    Move(QPoint(-5, 50));
    Release(QPoint(-5, 50));
    struct Expected {
        const char* Kind;
        std::int32_t X, Y, Pos, LargePos;
        int NoteNum;
    };
    // Divisions truncate toward zero: -1 is still in the first position shown.
    const Expected expected[] = {
        {"down", 10, 50, 133, 128, 60},  {"move", -1, 50, 128, 128, 60},
        {"move", -33, 112, 112, 112, 0}, {"move", 849, -8, 552, 544, 0},
        {"move", -5, 50, 126, 128, 60},  {"up", -5, 50, 126, 128, 60},
    };
    ASSERT_EQ(Events.size(), std::size(expected));
    for (std::size_t i = 0; i < Events.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Events[i].Kind, expected[i].Kind);
        EXPECT_EQ(Events[i].X, expected[i].X);
        EXPECT_EQ(Events[i].Y, expected[i].Y);
        EXPECT_EQ(Events[i].Pos, expected[i].Pos);
        EXPECT_EQ(Events[i].LargePos, expected[i].LargePos);
        EXPECT_EQ(Events[i].NoteNum, expected[i].NoteNum);
    }
    EXPECT_EQ(Events[1].Shift.Buttons, Qt::LeftButton);
    EXPECT_EQ(Events[5].Button, Qt::LeftButton);
    EXPECT_EQ(Events[5].Shift.Buttons, Qt::NoButton);
}

TEST_F(PartitionPointer, NoteUnderThePointer) {
    TPartitionNote* n60 = P.AddNote(60, 10, 4, nullptr);
    TPartitionNote* n61 = P.AddNote(61, 30, 4, nullptr);
    TPartitionNote* n65 = P.AddNote(65, 0, 16, nullptr);
    TPartitionNote* n90 = P.AddNote(90, 40, 4, nullptr);
    TPartitionNote* early = P.AddNote(57, 50, 4, nullptr);
    P.AddNote(57, 50, 4, nullptr);
    struct Case {
        QPoint At;
        TPartitionNote* Expected;
    };
    const Case cases[] = {
        {{18, 49}, nullptr}, {{20, 49}, n60}, {{28, 49}, n60}, {{29, 49}, n60},
        {{30, 49}, nullptr}, {{60, 49}, n61}, {{68, 49}, n61}, {{20, 45}, nullptr},
        {{10, 42}, n65},     {{10, 38}, n65}, {{33, 42}, n65}, {{80, 3}, nullptr},
        {{100, 60}, early},
    };
    for (const Case& c : cases) {
        const ExtEvent e = Click(c.At);
        EXPECT_EQ(e.Note, c.Expected) << c.At.x() << "," << c.At.y();
    }
    // A note without a row is never drawn, yet the owner can still find it.
    EXPECT_EQ(P.NoteAt(41, 90), n90);
}

TEST_F(PartitionPointer, NotesAreHitWhereTheyLieOnEveryRowAndNeverTheGhosts) {
    // Ticks of 480 per quarter: the note lies from position 1.5 to 4.5, drawn at x = 3 to 9.
    P.SetDivision(480);
    TPartitionNote* between = P.AddNote(60, 45, 90, nullptr);
    TPartitionNote* high = P.AddNote(108, 300, 120, nullptr); // positions 10 to 14
    P.SetGhostNotes({{62, 0, 480}});
    struct Case {
        std::uint8_t Top;
        QPoint At;
        std::int32_t Pos;
        int NoteNum;
        TPartitionNote* Expected;
    };
    const Case cases[] = {
        {81, {1, 49}, 0, 60, nullptr},  {81, {2, 49}, 1, 60, between},
        {81, {9, 49}, 4, 60, between},  {81, {10, 49}, 5, 60, nullptr},
        {81, {10, 45}, 5, 62, nullptr}, // a ghost there
        {108, {20, 3}, 10, 108, high},  {108, {30, 3}, 15, 108, nullptr},
    };
    for (const Case& c : cases) {
        P.SetTopNote(c.Top);
        const ExtEvent e = Click(c.At);
        EXPECT_EQ(e.Pos, c.Pos) << c.At.x() << "," << c.At.y();
        EXPECT_EQ(e.NoteNum, c.NoteNum) << c.At.x() << "," << c.At.y();
        EXPECT_EQ(e.Note, c.Expected) << c.At.x() << "," << c.At.y();
    }
}

TEST_F(PartitionPointer, ButtonsAndKeysHeld) {
    Move(QPoint(40, 49));
    Events.clear();
    Press(QPoint(40, 49), Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier);
    Release(QPoint(40, 49), Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier);
    Press(QPoint(40, 49), Qt::MiddleButton, Qt::AltModifier | Qt::KeypadModifier);
    Release(QPoint(40, 49), Qt::MiddleButton, Qt::AltModifier);
    ASSERT_EQ(Events.size(), 4u);
    const TShiftState shiftCtrl{Qt::ShiftModifier | Qt::ControlModifier, {}, false};
    EXPECT_EQ(Events[0].Button, Qt::RightButton);
    EXPECT_EQ(Events[0].Shift, (TShiftState{shiftCtrl.Keys, Qt::RightButton, false}));
    EXPECT_EQ(Events[1].Button, Qt::RightButton);
    EXPECT_EQ(Events[1].Shift, shiftCtrl);
    EXPECT_EQ(Events[2].Button, Qt::MiddleButton);
    EXPECT_EQ(Events[2].Shift, (TShiftState{Qt::AltModifier, Qt::MiddleButton, false}));
}

TEST_F(PartitionPointer, MovesArriveWithNoButtonHeld) {
    Move(QPoint(20, 49));
    Move(QPoint(22, 5));
    ASSERT_EQ(Events.size(), 2u);
    EXPECT_EQ(Events[1].Kind, "move");
    EXPECT_EQ(Events[1].Shift.Buttons, Qt::NoButton);
    EXPECT_EQ(Events[1].Pos, 11);
    EXPECT_EQ(Events[1].NoteNum, 79);
}

TEST_F(PartitionPointer, DoubleClickMarksTheSecondPress) {
    QTest::mouseDClick(Window(), Qt::LeftButton, {}, Shown.InWindow(QPoint(40, 49)));
    std::vector<bool> doubleClicks;
    for (const ExtEvent& e : Events) {
        if (e.Kind == "down")
            doubleClicks.push_back(e.Shift.DoubleClick);
    }
    EXPECT_EQ(doubleClicks, (std::vector<bool>{false, true}));
}

TEST_F(PartitionPointer, PlainEventsComeFirst) {
    P.OnMouseDown = [this](TPartition*, Qt::MouseButton, TShiftState, std::int32_t, std::int32_t) {
        Order.push_back("down");
    };
    P.OnMouseMove = [this](TPartition*, TShiftState, std::int32_t, std::int32_t) {
        Order.push_back("move");
    };
    P.OnMouseUp = [this](TPartition*, Qt::MouseButton, TShiftState, std::int32_t, std::int32_t) {
        Order.push_back("up");
    };
    Move(QPoint(40, 49));
    Order.clear();
    Press(QPoint(40, 49));
    Move(QPoint(50, 49));
    Release(QPoint(50, 49));
    EXPECT_EQ(Order,
              (std::vector<std::string>{"down", "ext down", "move", "ext move", "up", "ext up"}));
}

TEST_F(PartitionPointer, WithoutExtendedHandlersOnlyThePlainEventFires) {
    P.OnExtMouseDown = nullptr;
    P.OnExtMouseUp = nullptr;
    P.AddNote(60, 16, 4, nullptr);
    std::vector<QPoint> plain;
    P.OnMouseDown = [&plain](TPartition*, Qt::MouseButton, TShiftState, std::int32_t x,
                             std::int32_t y) { plain.push_back(QPoint(x, y)); };
    Move(QPoint(34, 49));
    Events.clear();
    P.Painted.clear();
    const qint64 image = P.Image().cacheKey();
    Press(QPoint(34, 49));
    Release(QPoint(34, 49));
    EXPECT_EQ(plain, std::vector<QPoint>{QPoint(34, 49)});
    EXPECT_TRUE(Events.empty());
    EXPECT_EQ(P.NoteList().size(), 1u);
    EXPECT_TRUE(P.Painted.empty());
    EXPECT_EQ(P.Image().cacheKey(), image);
}

TEST_F(PartitionPointer, AHandlerMayRemoveTheNoteItWasGiven) {
    P.AddNote(60, 16, 4, nullptr);
    Move(QPoint(34, 49));
    Events.clear();
    P.OnExtMouseDown = [this](TPartition* sender, Qt::MouseButton, TShiftState, std::int32_t,
                              std::int32_t, std::int32_t, std::int32_t, std::uint8_t,
                              TPartitionNote* note) { sender->RemoveNote(note); };
    Press(QPoint(34, 49));
    Release(QPoint(34, 49));
    EXPECT_TRUE(P.NoteList().empty());
    EXPECT_EQ(ColorAt(P.Image(), 34, 52), White);
    ASSERT_EQ(Events.size(), 1u);
    EXPECT_EQ(Events[0].Note, nullptr);
}

} // namespace
} // namespace kadrel
