#pragma once

#include <QIcon>

namespace kadrel {

// The 16 x 16 pictures of the flat buttons, drawn in the 16 standard colours on a transparent
// background.
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
