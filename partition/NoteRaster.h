#pragma once

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace kadrel {

// Composes boxes drawn one over the other into an image, each pixel written once.
//
// The boxes lie in lanes: all boxes of a lane share their top and bottom pixel rows (the boxes
// of one row of the score), and the lanes may overlap. A box covers an earlier one where they
// meet, so the boxes are handed over from the last drawn to the first: each claims only the
// columns of its lane that no box drawn after it holds, and a box whose lane is already full
// costs nothing. Where lanes overlap, the box with the higher priority wins.
//
// A box has a one-pixel outline of one colour around a fill of another; a box no more than two
// pixels wide or tall is all outline. Columns are logical pixels, scaled by the image's ratio.
class NoteRaster {
public:
    // The largest ratio of device pixels to logical pixels that the image may have.
    static constexpr int MaxRatio = 8;

    // Starts over for an image `width` logical pixels wide.
    void Reset(int width);
    // Adds a lane whose boxes cover pixel rows [top, bottom); returns its number.
    int AddLane(int top, int bottom);

    // True when every column of the lane is taken.
    bool Full(int lane) const { return lanes_[lane].Free == 0; }

    // A box from column left to right (right excluded; either may lie outside the image). Its
    // priority must not be higher than that of any box claimed before it in the same lane.
    void Claim(int laneIndex, std::int64_t left, std::int64_t right, std::uint32_t fill,
               std::uint32_t outline, std::int64_t priority) {
        Lane& lane = lanes_[laneIndex];
        const int from = static_cast<int>(std::clamp<std::int64_t>(left, 0, width_));
        const int to = static_cast<int>(std::clamp<std::int64_t>(right, 0, width_));
        int x = FindFree(lane, from);
        if (x < to)
            Take(lane, x, to, left, right, fill, outline, priority);
    }

    // Writes the claimed pixels over the image, whose other pixels stay as they are.
    void Compose(QImage& image, int ratio) const;

private:
    struct Lane {
        int Top, Bottom;
        int Free;
        std::vector<std::int32_t> Owner; // the box holding each column, or -1
        std::vector<std::int32_t> Next;  // the first free column at or after each column
    };
    struct Box {
        std::int64_t Priority;
        std::int32_t Left, Right; // clamped to one column beyond the image on either side
        std::uint32_t Fill, Outline;
    };

    static int FindFree(Lane& lane, int column) {
        // Path halving keeps the runs of taken columns short to walk.
        std::int32_t* next = lane.Next.data();
        while (next[column] != column) {
            next[column] = next[next[column]];
            column = next[column];
        }
        return column;
    }
    void Take(Lane& lane, int x, int to, std::int64_t left, std::int64_t right, std::uint32_t fill,
              std::uint32_t outline, std::int64_t priority);
    // The colours of a lane's boxes on its top and bottom rows and on the rows between, 0 where
    // it holds no box (0 is no colour of an opaque image).
    void LaneLines(const Lane& lane, std::vector<std::uint32_t>& edge,
                   std::vector<std::uint32_t>& inside) const;

    int width_ = 0;
    int laneCount_ = 0;
    std::vector<Lane> lanes_; // the first laneCount_ are in use; the others keep their memory
    std::vector<Box> boxes_;
};

} // namespace kadrel
