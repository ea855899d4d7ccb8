#include "partition/NoteRaster.h"

namespace kadrel {

void NoteRaster::Reset(int width) {
    width_ = std::max(width, 0);
    laneCount_ = 0;
    boxes_.clear();
}

int NoteRaster::AddLane(int top, int bottom) {
    if (laneCount_ == static_cast<int>(lanes_.size()))
        lanes_.emplace_back();
    Lane& lane = lanes_[laneCount_];
    lane.Top = top;
    lane.Bottom = bottom;
    lane.Free = width_;
    lane.Owner.assign(width_, -1);
    lane.Next.resize(width_ + 1);
    for (int x = 0; x <= width_; ++x)
        lane.Next[x] = x;
    return laneCount_++;
}

void NoteRaster::Take(Lane& lane, int x, int to, std::int64_t left, std::int64_t right,
                      std::uint32_t fill, std::uint32_t outline, std::int64_t priority) {
    const auto id = static_cast<std::int32_t>(boxes_.size());
    boxes_.push_back({priority, static_cast<std::int32_t>(std::max<std::int64_t>(left, -1)),
                      static_cast<std::int32_t>(std::min<std::int64_t>(right, width_ + 1)), fill,
                      outline});
    while (x < to) {
        lane.Owner[x] = id;
        lane.Next[x] = x + 1;
        --lane.Free;
        x = FindFree(lane, x + 1);
    }
}

void NoteRaster::LaneLines(const Lane& lane, std::vector<std::uint32_t>& edge,
                           std::vector<std::uint32_t>& inside) const {
    edge.assign(width_, 0);
    inside.assign(width_, 0);
    for (int x = 0; x < width_; ++x) {
        const std::int32_t id = lane.Owner[x];
        if (id < 0)
            continue;
        const Box& box = boxes_[id];
        edge[x] = box.Outline;
        inside[x] = (x == box.Left || x == box.Right - 1) ? box.Outline : box.Fill;
    }
}

void NoteRaster::Compose(QImage& image, int ratio) const {
    ratio = std::clamp(ratio, 1, MaxRatio);
    const int height = image.height() / ratio;
    const int width = std::min(width_, image.width() / ratio);

    // Each lane's two kinds of rows, worked out once.
    std::vector<std::vector<std::uint32_t>> edges(laneCount_), insides(laneCount_);
    for (int i = 0; i < laneCount_; ++i) {
        if (lanes_[i].Free < width_)
            LaneLines(lanes_[i], edges[i], insides[i]);
    }

    std::vector<int> here;
    for (int y = 0; y < height; ++y) {
        here.clear();
        for (int i = 0; i < laneCount_; ++i) {
            const Lane& lane = lanes_[i];
            if (lane.Top <= y && y < lane.Bottom && lane.Free < width_)
                here.push_back(i);
        }
        if (here.empty())
            continue;
        // Text in the image may be finer than a logical pixel: each device row of this logical
        // row is written on its own.
        std::uint32_t* lines[MaxRatio];
        for (int r = 0; r < ratio; ++r)
            lines[r] = reinterpret_cast<std::uint32_t*>(image.scanLine(y * ratio + r));
        const auto put = [&](int x, std::uint32_t colour) {
            for (int r = 0; r < ratio; ++r)
                std::fill_n(lines[r] + x * ratio, ratio, colour);
        };
        const auto rowOf = [&](int i) {
            const Lane& lane = lanes_[i];
            return (y == lane.Top || y == lane.Bottom - 1) ? edges[i].data() : insides[i].data();
        };

        if (here.size() == 1) {
            const std::uint32_t* row = rowOf(here.front());
            for (int x = 0; x < width; ++x) {
                if (row[x] != 0)
                    put(x, row[x]);
            }
            continue;
        }
        // Where lanes overlap, the box with the highest priority shows.
        for (int x = 0; x < width; ++x) {
            const Box* best = nullptr;
            int bestLane = -1;
            for (const int i : here) {
                const std::int32_t id = lanes_[i].Owner[x];
                if (id >= 0 && (best == nullptr || boxes_[id].Priority > best->Priority)) {
                    best = &boxes_[id];
                    bestLane = i;
                }
            }
            if (best != nullptr)
                put(x, rowOf(bestLane)[x]);
        }
    }
}

} // namespace kadrel
