#include "render/SongForRender.h"

#include "song/ImportTexts.h"
#include "song/TolerantImport.h"
#include "util/Error.h"

namespace kadrel {

Song LoadSongForRender(const std::string& fileName) {
    TolerantImport imported;
    try {
        imported = ImportMidiFile(fileName);
    } catch (const SmfReadError& refused) {
        throw Error(ImportRefusalText(refused.Reason(), refused.Offset()));
    }
    return std::move(imported.Content);
}

} // namespace kadrel
