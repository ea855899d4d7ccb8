#pragma once

#include <algorithm>
#include <cstdint>

namespace kadrel {

// Integer division rounding down, for any sign of the dividend (the divisor is positive).
inline std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

inline std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {
    return -FloorDiv(-a, b);
}

// Where time lies across the control: a grid position is SmallestWidth x 2^Zoom pixels wide and
// position First is at x = 0. Notes may be counted in ticks of Division per quarter note; a tick
// t lies at grid position t * 16 / Division. Every pixel is rounded down, exactly.
class HorizontalScale {
public:
    static constexpr std::int64_t GridPerQuarter = 16;

    HorizontalScale(std::int64_t smallestWidth, int zoom, std::int64_t first, std::int64_t division)
        : sw_(smallestWidth), up_(std::max(zoom, 0)), down_(std::max(-zoom, 0)), first_(first),
          division_(division) {
        // x(t) = floor((t*16 - First*D) * SW * 2^up / (D * 2^down)); a divisor that is a power
        // of two becomes a shift.
        const std::int64_t den = division_ << down_;
        if ((den & (den - 1)) == 0) {
            while ((std::int64_t{1} << denShift_) < den)
                ++denShift_;
        } else {
            denShift_ = -1;
        }
        originTicks_ = first_ * division_;
    }

    // Left edge of grid position p.
    std::int64_t XOfPos(std::int64_t p) const { return ((p - first_) * sw_ << up_) >> down_; }

    // Left edge of tick t.
    std::int64_t XOfTick(std::int64_t t) const {
        const std::int64_t num = ((t * GridPerQuarter - originTicks_) * sw_) << up_;
        return denShift_ >= 0 ? num >> denShift_ : FloorDiv(num, division_ << down_);
    }

    // The first tick whose left edge lies at or right of pixel x, and the last one whose left
    // edge lies at or left of it.
    std::int64_t FirstTickAtOrAfter(std::int64_t x) const {
        return CeilDiv(x * (division_ << down_) + (originTicks_ * sw_ << up_),
                       GridPerQuarter * sw_ << up_);
    }
    std::int64_t LastTickAtOrBefore(std::int64_t x) const { return FirstTickAtOrAfter(x + 1) - 1; }

    // The grid position under pixel x, rounded toward zero as the pointer events always were
    // (a pointer just left of the control is still in the first position shown).
    std::int64_t PosAtX(std::int64_t x) const { return first_ + ((x << down_) / (sw_ << up_)); }

    // The cell of pixel x for hit tests, [Lo, Hi) in units of 1 / UnitsPerPos positions: the
    // pixel's own stretch of time, widened to whole positions, or to whole SmallestWidth pixels
    // when a position spans more than that.
    struct Cell {
        std::int64_t Lo, Hi, UnitsPerPos;
    };
    Cell CellAtX(std::int64_t x) const {
        if (up_ > 0) {
            const std::int64_t lo = (first_ << up_) + x / sw_;
            return {lo, lo + 1, std::int64_t{1} << up_};
        }
        const std::int64_t lo = PosAtX(x);
        return {lo, std::max(lo + 1, first_ + CeilDiv((x + 1) << down_, sw_)), 1};
    }

    // Pixel x in the pixels of the normal scale (zoom 0) counted from First, and back.
    std::int64_t ToNormal(std::int64_t x) const { return (x << down_) >> up_; }
    std::int64_t FromNormal(std::int64_t normal) const { return (normal << up_) >> down_; }

    // The last grid position whose left edge lies at or left of pixel x.
    std::int64_t LastPosAtOrBefore(std::int64_t x) const {
        return first_ + CeilDiv((x + 1) << down_, sw_ << up_) - 1;
    }

    // Pixels spanned by a number of positions starting on a position's left edge at x = 0.
    std::int64_t Width(std::int64_t positions) const { return (positions * sw_ << up_) >> down_; }

    // Whole grid positions that fit in `pixels`, at least 1.
    std::int64_t PositionsIn(std::int64_t pixels) const {
        return std::max<std::int64_t>(1, (pixels << down_) / (sw_ << up_));
    }

private:
    std::int64_t sw_;
    int up_;
    int down_;
    std::int64_t first_;
    std::int64_t division_;
    int denShift_ = 0;
    std::int64_t originTicks_ = 0;
};

} // namespace kadrel
