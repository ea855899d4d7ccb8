#include "partition/Partition.h"

#include <QPaintEvent>
#include <QtTest/QTest>
#include <benchmark/benchmark.h>

#include <memory>

namespace kadrel::bench {
namespace {

// Counts the platform's repaints, so that the figures show that each iteration really reached
// the screen.
class CountingPartition : public TPartition {
public:
    int Paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++Paints;
        TPartition::paintEvent(event);
    }
};

// The main window's control (849 x 112) holding 100,000 notes spread over about 22,000
// positions, so that some 2,000 of them fall in the 424 positions in view; every tenth is
// selected and every row is used.
std::unique_ptr<CountingPartition> CrowdedPartition() {
    auto p = std::make_unique<CountingPartition>();
    p->resize(849, 112);
    p->SetInterWidth(8);
    p->SetSmallestWidth(2);
    p->SetLargePosLen(16);
    p->SetCursorPos(0);
    p->SetMesureLen(64);
    p->SetVertGridLen(16);
    p->SetFirstMesure(0);
    p->PaintEnabled = false;
    for (int i = 0; i < 100000; ++i) {
        TPartitionNote* note =
            p->AddNote(static_cast<std::uint8_t>(36 + i * 7 % 47), i * 2 / 9, 4 + i % 13, nullptr);
        note->Selected = i % 10 == 0;
    }
    p->PaintEnabled = true;
    p->show();
    if (!QTest::qWaitForWindowExposed(p.get()))
        return nullptr;
    p->Paint();
    return p;
}

int VisibleNotes(const TPartition& p) {
    int visible = 0;
    for (const auto& note : p.NoteList())
        visible += note->Pos <= p.width() / p.SmallestWidth() && note->Pos + note->Len >= 0;
    return visible;
}

void PartitionPaint(benchmark::State& state) {
    const auto p = CrowdedPartition();
    if (!p) {
        state.SkipWithError("the control was not shown");
        return;
    }
    p->Paints = 0;
    for (auto _ : state)
        p->Paint();
    state.counters["visible notes"] = VisibleNotes(*p);
    state.counters["repaints/iter"] =
        benchmark::Counter(p->Paints, benchmark::Counter::kAvgIterations);
}
BENCHMARK(PartitionPaint)->Unit(benchmark::kMillisecond);

// The main window's control with `count` notes laid out like a song (in order of their start)
// over the positions in view at the given zoom: every note is visible. Ticks of `division` per
// quarter note; velocities from 40 to 127, every tenth note selected, notes from 21 to 108 when
// edge marks are on (the rows beyond the staff leave their marks), else 36 to 82.
std::unique_ptr<CountingPartition> SongInView(int count, int zoom, int division, bool edgeMarks) {
    auto p = std::make_unique<CountingPartition>();
    p->resize(849, 112);
    p->SetLargePosLen(16);
    p->SetCursorPos(0);
    p->SetDivision(division);
    p->SetEdgeMarks(edgeMarks);
    p->SetZoomLevel(zoom, 0);
    const std::int64_t ticksInView = std::int64_t{p->PosAtX(p->width() - 1)} * division / 16;
    p->PaintEnabled = false;
    for (int i = 0; i < count; ++i) {
        const auto noteNum =
            static_cast<std::uint8_t>(edgeMarks ? 21 + i * 7 % 88 : 36 + i * 7 % 47);
        const auto tick = static_cast<std::int32_t>(std::int64_t{i} * ticksInView / count);
        TPartitionNote* note = p->AddNote(noteNum, tick, (4 + i % 13) * division / 16, nullptr,
                                          static_cast<std::uint8_t>(40 + i % 88));
        note->Selected = i % 10 == 0;
    }
    p->PaintEnabled = true;
    p->show();
    if (!QTest::qWaitForWindowExposed(p.get()))
        return nullptr;
    p->Paint();
    return p;
}

void PaintSongInView(benchmark::State& state, int count, int zoom, bool edgeMarks) {
    const auto p = SongInView(count, zoom, static_cast<int>(state.range(0)), edgeMarks);
    if (!p) {
        state.SkipWithError("the control was not shown");
        return;
    }
    p->Paints = 0;
    for (auto _ : state)
        p->Paint();
    state.counters["notes"] = static_cast<double>(p->NoteList().size());
    state.counters["repaints/iter"] =
        benchmark::Counter(p->Paints, benchmark::Counter::kAvgIterations);
}

// 100,000 notes, all in view at the normal scale (goal: under 2 ms).
void PartitionPaint100kVisible(benchmark::State& state) {
    PaintSongInView(state, 100000, 0, false);
}
BENCHMARK(PartitionPaint100kVisible)->Arg(16)->Arg(480)->Unit(benchmark::kMillisecond);

// A whole song of 1,000,000 notes in view at the smallest scale, 1/16 pixel per position, with
// the notes beyond the rows shown marked at the edges (goal: under 16 ms).
void PartitionPaint1MZoomedOut(benchmark::State& state) {
    PaintSongInView(state, 1000000, -5, true);
}
BENCHMARK(PartitionPaint1MZoomedOut)->Arg(16)->Arg(480)->Unit(benchmark::kMillisecond);

// One playback step: the cursor moves one position on within the measures in view, which
// restores a two-pixel strip and draws one line, including the repaint that shows it.
void PartitionCursorMove(benchmark::State& state) {
    const auto p = CrowdedPartition();
    if (!p) {
        state.SkipWithError("the control was not shown");
        return;
    }
    p->Paints = 0;
    std::int32_t cursor = 0;
    for (auto _ : state) {
        cursor = (cursor + 2) % 768;
        p->SetCursorPos(cursor);
    }
    state.counters["repaints/iter"] =
        benchmark::Counter(p->Paints, benchmark::Counter::kAvgIterations);
}
BENCHMARK(PartitionCursorMove)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace kadrel::bench
