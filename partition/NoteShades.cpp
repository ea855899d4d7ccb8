#include "partition/NoteShades.h"

namespace kadrel {

const NoteShades& NoteShades::Get() {
    static const NoteShades shades = [] {
        NoteShades s{};
        for (int v = 0; v < 128; ++v) {
            const int pale = (127 - std::max(v, 1)) * Palest / 126;
            s.ByVelocity[v] = {qRgb(pale, pale, pale), qRgb(255, 255, pale)};
        }
        s.Mark = qRgb(0, 0, 255);
        s.GhostOutline = qRgb(160, 176, 208);
        s.GhostFill = qRgb(232, 236, 248);
        return s;
    }();
    return shades;
}

} // namespace kadrel
