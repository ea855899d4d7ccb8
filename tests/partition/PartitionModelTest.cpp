#include "PartitionTestSupport.h"

#include <QApplication>

#include <functional>

namespace kadrel {
namespace {

using testing::ApplyMainWindowLayout;

TEST(PartitionModel, ConstructionValues) {
    TPartition p;
    EXPECT_EQ(p.size(), QSize(300, 112));
    EXPECT_EQ(p.InterWidth(), 8);
    EXPECT_EQ(p.SmallestWidth(), 2);
    EXPECT_EQ(p.LargePosLen(), 4);
    EXPECT_EQ(p.CursorPos(), -1);
    EXPECT_EQ(p.MesureLen(), 64);
    EXPECT_EQ(p.VertGridLen(), 16);
    EXPECT_EQ(p.FirstMesure(), 0);
    EXPECT_EQ(p.FirstPixel(), 0);
    EXPECT_EQ(p.FirstPos(), 0);
    EXPECT_TRUE(p.PaintEnabled);
    EXPECT_TRUE(p.NoteList().empty());
    EXPECT_TRUE(p.hasMouseTracking());
}

TEST(PartitionModel, ZeroIsStoredAsOne) {
    struct Case {
        const char* Name;
        std::function<void(TPartition&, std::uint8_t)> Set;
        std::function<int(const TPartition&)> Get;
    };
    const Case cases[] = {
        {"InterWidth", &TPartition::SetInterWidth, &TPartition::InterWidth},
        {"SmallestWidth", &TPartition::SetSmallestWidth, &TPartition::SmallestWidth},
        {"LargePosLen", &TPartition::SetLargePosLen, &TPartition::LargePosLen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TPartition p;
        c.Set(p, 0);
        EXPECT_EQ(c.Get(p), 1);
        c.Set(p, 5);
        EXPECT_EQ(c.Get(p), 5);
    }
}

TEST(PartitionModel, InterWidthSetsTheHeight) {
    TPartition p;
    p.SetInterWidth(0);
    EXPECT_EQ(p.height(), 14);
    p.SetInterWidth(10);
    EXPECT_EQ(p.height(), 140);
    EXPECT_EQ(p.sizeHint().height(), 140);
}

TEST(PartitionModel, InterWidthRepaintsThroughThePlatform) {
    testing::ShownPartition shown;
    TPartition& p = *shown.Partition;
    p.SetInterWidth(10);
    // Not at once: the image follows on the platform's next repaint.
    EXPECT_EQ(p.Image().height(), 112);
    QApplication::processEvents();
    ASSERT_EQ(p.Image().height(), 140);
    EXPECT_EQ(testing::ColorAt(p.Image(), 1, 50), testing::Black); // staff lines 10 apart
    EXPECT_EQ(testing::ColorAt(p.Image(), 1, 40), testing::White);
}

TEST(PartitionModel, NegativeFirstMesureIsStoredAsZero) {
    TPartition p;
    ApplyMainWindowLayout(p);
    p.SetFirstMesure(2);
    EXPECT_EQ(p.FirstPos(), 128);
    EXPECT_EQ(p.FirstPixel(), 256);
    p.SetFirstMesure(-3);
    EXPECT_EQ(p.FirstMesure(), 0);
    EXPECT_EQ(p.FirstPos(), 0);
    EXPECT_EQ(p.FirstPixel(), 0);
}

TEST(PartitionModel, ScrollOffsetsFollowOnlyFirstMesure) {
    TPartition p;
    ApplyMainWindowLayout(p);
    p.SetFirstMesure(2);
    p.SetMesureLen(32);
    EXPECT_EQ(p.FirstPos(), 128);
    p.SetSmallestWidth(3);
    EXPECT_EQ(p.FirstPixel(), 256);
    p.SetFirstMesure(2);
    EXPECT_EQ(p.FirstPos(), 64);
    EXPECT_EQ(p.FirstPixel(), 192);
}

TEST(PartitionModel, SettersThatPaintRenderTheImageAtOnce) {
    struct Case {
        const char* Name;
        std::function<void(TPartition&)> Change;
        bool Paints;
    };
    const Case cases[] = {
        {"SmallestWidth", [](TPartition& p) { p.SetSmallestWidth(3); }, true},
        {"MesureLen", [](TPartition& p) { p.SetMesureLen(32); }, true},
        {"VertGridLen", [](TPartition& p) { p.SetVertGridLen(8); }, true},
        {"FirstMesure", [](TPartition& p) { p.SetFirstMesure(1); }, true},
        {"ClearSelection", [](TPartition& p) { p.ClearSelection(); }, true},
        {"ClearNotes", [](TPartition& p) { p.ClearNotes(); }, true},
        {"LargePosLen", [](TPartition& p) { p.SetLargePosLen(8); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TPartition p;
        ApplyMainWindowLayout(p);
        const qint64 before = p.Image().cacheKey();
        c.Change(p);
        EXPECT_EQ(p.Image().cacheKey() != before, c.Paints);
    }
}

TEST(PartitionModel, CursorPagesByWholeMeasures) {
    // Each step sets CursorPos starting from where the previous one left the control.
    struct Step {
        std::int32_t Value;
        std::int32_t FirstMesure;
    };
    struct Case {
        const char* Name;
        std::vector<Step> Steps;
    };
    const Case cases[] = {
        {"the last whole measure's end stays", {{768, 0}}},
        {"beyond it pages", {{770, 6}, {100, 0}}},
        {"one pixel beyond pages", {{769, 6}}},
        {"the view's own start stays", {{770, 6}, {768, 6}}},
        {"just left of the view pages back", {{770, 6}, {767, 5}}},
        {"negative pages to measure 0", {{770, 6}, {-5, 0}}},
        {"far ahead", {{100000, 781}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TPartition p;
        ApplyMainWindowLayout(p);
        for (const Step& s : c.Steps) {
            p.SetCursorPos(s.Value);
            EXPECT_EQ(p.CursorPos(), s.Value);
            EXPECT_EQ(p.FirstMesure(), s.FirstMesure) << "cursor " << s.Value;
            EXPECT_EQ(p.FirstPixel(), s.FirstMesure * 128);
        }
    }
}

TEST(PartitionModel, AddNoteAppendsUnselectedNotesInOrder) {
    TPartition p;
    int a = 0, b = 0;
    TPartitionNote* first = p.AddNote(60, 10, 4, &a);
    TPartitionNote* second = p.AddNote(90, -3, 0, &b); // no row, kept all the same
    ASSERT_EQ(p.NoteList().size(), 2u);
    EXPECT_EQ(p.NoteList()[0].get(), first);
    EXPECT_EQ(p.NoteList()[1].get(), second);
    EXPECT_EQ(first->NoteNum, 60);
    EXPECT_EQ(first->Pos, 10);
    EXPECT_EQ(first->Len, 4);
    EXPECT_EQ(first->Data, &a);
    EXPECT_FALSE(first->Selected);
    EXPECT_EQ(second->NoteNum, 90);
    EXPECT_EQ(second->Pos, -3);
    EXPECT_EQ(second->Data, &b);
}

TEST(PartitionModel, ClearSelectionAndClearNotes) {
    TPartition p;
    p.AddNote(60, 0, 4, nullptr)->Selected = true;
    p.AddNote(62, 0, 4, nullptr)->Selected = true;
    p.ClearSelection();
    ASSERT_EQ(p.NoteList().size(), 2u);
    EXPECT_FALSE(p.NoteList()[0]->Selected);
    EXPECT_FALSE(p.NoteList()[1]->Selected);
    p.ClearNotes();
    EXPECT_TRUE(p.NoteList().empty());
}

TEST(PartitionModel, RemoveNoteOfANoteAlreadyGoneOnlyRepaints) {
    TPartition p;
    ApplyMainWindowLayout(p);
    TPartitionNote* a = p.AddNote(60, 0, 4, nullptr);
    TPartitionNote* b = p.AddNote(62, 0, 4, nullptr);
    TPartitionNote* c = p.AddNote(64, 0, 4, nullptr);
    p.RemoveNote(b);
    ASSERT_EQ(p.NoteList().size(), 2u);
    EXPECT_EQ(p.NoteList()[0].get(), a);
    EXPECT_EQ(p.NoteList()[1].get(), c);

    // Another caller took c out; the note is still alive in its hands.
    std::unique_ptr<TPartitionNote> taken = p.TakeNote(c);
    ASSERT_EQ(taken.get(), c);
    for (TPartitionNote* gone : {c, static_cast<TPartitionNote*>(nullptr)}) {
        const qint64 before = p.Image().cacheKey();
        p.RemoveNote(gone);
        EXPECT_NE(p.Image().cacheKey(), before);
        ASSERT_EQ(p.NoteList().size(), 1u);
        EXPECT_EQ(p.NoteList()[0].get(), a);
    }
    EXPECT_EQ(p.TakeNote(c), nullptr);
}

TEST(PartitionModel, TakeSelectedNotesHandsThemOverLastFirstWithoutPainting) {
    TPartition p;
    ApplyMainWindowLayout(p);
    std::vector<TPartitionNote*> notes;
    for (int i = 0; i < 5; ++i)
        notes.push_back(p.AddNote(static_cast<std::uint8_t>(60 + i), i, 4, nullptr));
    notes[0]->Selected = notes[2]->Selected = notes[3]->Selected = true;
    const qint64 before = p.Image().cacheKey();

    const TPartition::NoteVector taken = p.TakeSelectedNotes();

    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0].get(), notes[3]);
    EXPECT_EQ(taken[1].get(), notes[2]);
    EXPECT_EQ(taken[2].get(), notes[0]);
    ASSERT_EQ(p.NoteList().size(), 2u);
    EXPECT_EQ(p.NoteList()[0].get(), notes[1]);
    EXPECT_EQ(p.NoteList()[1].get(), notes[4]);
    EXPECT_EQ(p.Image().cacheKey(), before);
}

TEST(PartitionModel, NoteAtFindsTheFirstNoteOfTheRowCoveringThePosition) {
    TPartition p;
    TPartitionNote* n60 = p.AddNote(60, 10, 4, nullptr);
    TPartitionNote* n60b = p.AddNote(60, 12, 8, nullptr);
    TPartitionNote* n61 = p.AddNote(61, 30, 4, nullptr);
    TPartitionNote* n65 = p.AddNote(65, 0, 16, nullptr);
    TPartitionNote* n90 = p.AddNote(90, 0, 2, nullptr);
    TPartitionNote* n0 = p.AddNote(0, 0, 2, nullptr);
    struct Case {
        std::int32_t Pos;
        std::uint8_t NoteNum;
        TPartitionNote* Expected;
    };
    const Case cases[] = {
        {9, 60, nullptr},  {10, 60, n60},     {14, 60, n60}, {15, 60, n60b}, // earliest first
        {20, 60, n60b},    {21, 60, nullptr}, {30, 60, n61}, {34, 60, n61},  // sharp on the row
        {35, 60, nullptr}, {5, 64, n65},      {5, 65, n65},  {17, 64, nullptr},
        {1, 90, n90},      {1, 89, n90},      {1, 0, n0},    {1, 255, nullptr}, // 255 + 1 is 256
        {-1, 0, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(p.NoteAt(c.Pos, c.NoteNum), c.Expected)
            << "pos " << c.Pos << " note " << int(c.NoteNum);
}

} // namespace
} // namespace kadrel
