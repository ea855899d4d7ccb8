#pragma once

#include <QString>

namespace kadrel {

// The French name of a MIDI note with its octave, middle C (60) being "Do4": "Do", "Ré", "Mi",
// "Fa", "Sol", "La", "Si", a sharp written "Do#4"; note 0 is "Do-1".
QString FrenchNoteName(int noteNum);

} // namespace kadrel
