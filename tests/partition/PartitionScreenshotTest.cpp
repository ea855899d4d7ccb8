#include "PartitionTestSupport.h"

#include "partition/RowTable.h"

namespace kadrel {
namespace {

using namespace testing;

// The control as the user sees it: a phrase of white, yellow and selected notes two measures
// into the song, the cursor, and a rubber band around the selection. On any platform the picture
// must show each of them. For a look by a person: KADREL_PARTITION_SHOT=<file.png> saves the
// picture, and KADREL_PARTITION_SHOW_MS=<ms> keeps the window up that long so that the screen
// can be captured (run under xvfb-run with QT_QPA_PLATFORM=xcb).
TEST(PartitionScreenshot, ShowsStaffGridNumbersNotesAndCursor) {
    QWidget window;
    window.setWindowTitle("Kadrel");
    window.resize(865, 128);
    auto* p = new TPartition(&window);
    p->move(8, 8);
    ApplyMainWindowLayout(*p);
    p->SetFirstMesure(2);

    struct Note {
        std::uint8_t NoteNum;
        std::int32_t Pos, Len;
        bool Selected;
    };
    const Note phrase[] = {
        {57, 120, 20, false}, {60, 144, 12, false}, {62, 160, 12, false}, {64, 176, 12, false},
        {66, 192, 12, false}, {67, 208, 28, false}, {70, 240, 12, false}, {48, 256, 60, false},
        {52, 256, 60, false}, {55, 256, 60, false}, {73, 320, 8, false},  {75, 330, 8, false},
        {72, 352, 12, true},  {74, 368, 12, true},  {78, 384, 24, true},  {41, 400, 40, false},
        {81, 448, 16, false}, {82, 470, 16, false}, {36, 480, 32, false}, {63, 500, 40, false},
    };
    p->PaintEnabled = false;
    for (const Note& n : phrase)
        p->AddNote(n.NoteNum, n.Pos, n.Len, nullptr)->Selected = n.Selected;
    p->PaintEnabled = true;
    p->Paint();
    p->SetCursorPos(p->FirstPixel() + 300);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    p->SetRubberBand(QPoint(440, 10), QPoint(540, 40));

    const QImage shot = p->grab().toImage();
    // Inside the box of a note: its first column after the outline, in its middle row.
    const auto inside = [&](std::uint8_t noteNum, std::int32_t pos) {
        return ColorAt(shot, (pos - p->FirstPos()) * 2 + 2, RowTop(RowOfNote(noteNum), 8) + 4);
    };
    EXPECT_EQ(inside(60, 144), White);
    EXPECT_EQ(inside(66, 192), Yellow);
    EXPECT_EQ(inside(72, 352), Black);
    EXPECT_EQ(inside(48, 256), White);
    EXPECT_EQ(ColorAt(shot, 300, 100), Red);
    EXPECT_EQ(ColorAt(shot, 256, 100), Grey); // the third measure's line
    EXPECT_EQ(ColorAt(shot, 256, 45), Black); // its mark across the staff
    EXPECT_EQ(ColorAt(shot, 20, 72), Black);  // the bottom staff line
    EXPECT_EQ(ColorAt(shot, 0, 60), White);   // the first note, clipped, covers the first mark
    int numberPixels = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 2; x < 14; ++x)
            numberPixels += ColorAt(shot, x, y) == Black;
    }
    EXPECT_GT(numberPixels, 5);

    if (const QString path = qEnvironmentVariable("KADREL_PARTITION_SHOT"); !path.isEmpty()) {
        EXPECT_TRUE(shot.save(path));
    }
    if (const int ms = qEnvironmentVariableIntValue("KADREL_PARTITION_SHOW_MS"); ms > 0) {
        QTest::qWait(ms);
    }
}

} // namespace
} // namespace kadrel
