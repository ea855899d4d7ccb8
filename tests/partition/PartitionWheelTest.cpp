#include "PartitionTestSupport.h"

#include <QApplication>
#include <QWheelEvent>

namespace kadrel {
namespace {

using namespace testing;

// Turns the wheel over the control as the platform reports it: angle in eighths of a degree,
// 120 to a notch.
void Turn(TPartition& p, QPoint angle, Qt::KeyboardModifiers keys = Qt::NoModifier) {
    const QPointF at(100, 50);
    QWheelEvent event(at, p.mapToGlobal(at), QPoint(), angle, Qt::NoButton, keys, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(&p, &event);
}

TEST(PartitionWheel, OneMeasurePerNotchNeverBeforeTheStartCursorUnchanged) {
    const struct {
        const char* name;
        std::int32_t first;
        std::vector<QPoint> turns;
        Qt::KeyboardModifiers keys;
        std::int32_t expected;
    } cases[] = {
        {"towards the user goes on", 3, {{0, -120}}, Qt::NoModifier, 4},
        {"away from the user goes back", 3, {{0, 120}}, Qt::NoModifier, 2},
        {"three notches at once", 3, {{0, -360}}, Qt::NoModifier, 6},
        {"never before measure 0", 1, {{0, 360}}, Qt::NoModifier, 0},
        {"a horizontal wheel to the right goes on", 3, {{-120, 0}}, Qt::NoModifier, 4},
        {"a horizontal wheel to the left goes back", 3, {{120, 0}}, Qt::NoModifier, 2},
        {"Shift and the wheel scroll alike", 3, {{0, -120}}, Qt::ShiftModifier, 4},
        {"half notches add up", 3, {{0, -60}, {0, -60}, {0, -60}}, Qt::NoModifier, 4},
        {"less than a notch does nothing", 3, {{0, -119}}, Qt::NoModifier, 3},
    };
    for (const auto& c : cases) {
        ShownPartition shown;
        TPartition& p = *shown.Partition;
        p.SetFirstMesure(c.first);
        p.SetCursorPos(p.FirstPixel() + 10);
        const std::int32_t cursor = p.CursorPos();
        for (const QPoint& turn : c.turns)
            Turn(p, turn, c.keys);
        EXPECT_EQ(p.FirstMesure(), c.expected) << c.name;
        EXPECT_EQ(p.CursorPos(), cursor) << c.name;
    }
}

TEST(PartitionWheel, AltScrollsTheRowsCtrlZoomsAboutThePointer) {
    // With Alt held the platform reports a vertical turn as a horizontal one; both count.
    const struct {
        const char* name;
        Qt::KeyboardModifiers keys;
        std::vector<QPoint> turns;
        std::uint8_t top;
        int zoom;
        std::int32_t firstPos;
    } cases[] = {
        {"Alt, away from the user: up a staff spacing", Qt::AltModifier, {{120, 0}}, 84, 0, 128},
        {"Alt, unswapped", Qt::AltModifier, {{0, 120}}, 84, 0, 128},
        {"Alt, towards the user: down", Qt::AltModifier, {{-120, 0}}, 77, 0, 128},
        {"Alt, three notches", Qt::AltModifier, {{-360, 0}}, 71, 0, 128},
        // Position 178 stays under the pointer at x = 100.
        {"Ctrl, away: closer", Qt::ControlModifier, {{0, 120}}, 81, 1, 153},
        {"Ctrl, towards: further", Qt::ControlModifier, {{0, -120}}, 81, -1, 78},
        {"Ctrl, half notches add up", Qt::ControlModifier, {{0, 60}, {0, 60}}, 81, 1, 153},
        {"Ctrl, two notches", Qt::ControlModifier, {{0, 240}}, 81, 2, 166},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShownPartition shown;
        TPartition& p = *shown.Partition;
        p.SetFirstMesure(2);
        p.SetCursorPos(300);
        for (const QPoint& turn : c.turns)
            Turn(p, turn, c.keys);
        EXPECT_EQ(p.TopNote(), c.top);
        EXPECT_EQ(p.ZoomLevel(), c.zoom);
        EXPECT_EQ(p.FirstPos(), c.firstPos);
        EXPECT_EQ(p.CursorPos(), 300);
        EXPECT_EQ(p.PosAtX(100), 178);
    }
}

} // namespace
} // namespace kadrel
