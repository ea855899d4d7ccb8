#include "partition/NoteNames.h"

#include <array>

namespace kadrel {

QString FrenchNoteName(int noteNum) {
    static const std::array<const char*, 12> names = {"Do",  "Do#", "Ré",   "Ré#", "Mi",  "Fa",
                                                      "Fa#", "Sol", "Sol#", "La",  "La#", "Si"};
    const int pitch = ((noteNum % 12) + 12) % 12;
    const int octave = (noteNum - pitch) / 12 - 1;
    return QString::fromUtf8(names[pitch]) + QString::number(octave);
}

} // namespace kadrel
