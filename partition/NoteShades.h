#pragma once

#include <QColor>

#include <algorithm>
#include <array>
#include <cstdint>

namespace kadrel {

// The colours of the note boxes. A note of velocity 127 has a black outline and a white, yellow
// (sharp) or black (selected) fill; a softer note is paler in the same proportion, outline and
// fill alike, so that velocities ten apart differ by some fourteen levels of grey.
struct NoteShades {
    struct Shade {
        QRgb Outline;   // also the fill of a selected note
        QRgb SharpFill; // a natural note is filled white whatever its velocity
    };

    // Paleness of velocity 1, out of 255.
    static constexpr int Palest = 180;

    std::array<Shade, 128> ByVelocity;
    QRgb Mark;         // a note beyond the rows shown, not selected
    QRgb GhostOutline; // the notes of other rows
    QRgb GhostFill;

    // Velocity 0 is drawn as 1; values above 127 as 127.
    const Shade& Of(std::uint8_t velocity) const {
        return ByVelocity[std::clamp<int>(velocity, 1, 127)];
    }

    static const NoteShades& Get();
};

} // namespace kadrel
