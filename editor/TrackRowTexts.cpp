#include "editor/TrackRowTexts.h"

#include "song/Instruments.h"
#include "util/Error.h"
#include "util/TextUtils.h"

#include <charconv>

namespace kadrel {

std::int32_t DecimalValue(const std::string& text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last)
        throw Error("'" + text + "' is not a valid integer value");
    return value;
}

std::int32_t ProgramOfInstrument(const std::string& text) {
    return DecimalValue(NthWord(1, text));
}

TrackRowTexts RowTexts(const SongTrack& track, std::size_t index) {
    return {std::to_string(index), track.Name, std::to_string(track.Channel),
            InstrumentText(track.Program)};
}

TrackRows RowTexts(const std::vector<SongTrack>& tracks) {
    TrackRows rows;
    rows.reserve(tracks.size());
    for (std::size_t i = 0; i < tracks.size(); ++i)
        rows.push_back(RowTexts(tracks[i], i));
    return rows;
}

} // namespace kadrel
