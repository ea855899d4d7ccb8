#pragma once

#include <QIcon>

namespace kadrel {

// The 16 x 16 pictures of the flat buttons, drawn in the 16 standard colours on a transparent
// background; the icon holds them at 16 x 16 and, for screens scaled to 200 %, at 32 x 32 device
// pixels drawn at that resolution.
enum class Picture {
    BackBegin,
    Back2,
    Back1,
    Play,
    StopPlay,
    PausePlay,
    Forw1,
    Forw2,
    ForwEnd,
    ModeSelect,
    ModeNote,
    ModeDieze,
    GridLess,
    GridPlus,
};

QIcon ButtonPicture(Picture picture);

} // namespace kadrel
