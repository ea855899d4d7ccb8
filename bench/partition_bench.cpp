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
