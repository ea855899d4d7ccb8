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

} // namespace
} // namespace kadrel
