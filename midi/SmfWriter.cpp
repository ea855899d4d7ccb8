#include "midi/SmfWriter.h"

#include "midi/FileBytes.h"

namespace kadrel {

namespace {

// The events of one track as chunk data.
std::vector<std::uint8_t> TrackData(const SmfFile& file, const SmfTrack& track,
                                    SmfRunningStatus mode) {
    std::vector<std::uint8_t> out;
    std::uint8_t running = 0;
    for (const SmfEvent& e : track.Events) {
        AppendQuantity(out, e.Delta);
        if (e.IsChannel()) {
            const bool omit = e.Status == running && (mode == SmfRunningStatus::Always ||
                                                      (e.Flags & SmfEvent::RunningStatusFlag) != 0);
            if (!omit)
                out.push_back(e.Status);
            running = e.Status;
            out.push_back(e.Data1);
            if (e.Kind() != 0xC0 && e.Kind() != 0xD0)
                out.push_back(e.Data2);
            continue;
        }
        out.push_back(e.Status);
        if (e.IsMeta())
            out.push_back(e.Data1);
        const auto payload = file.Payload(track, e);
        AppendQuantity(out, static_cast<std::uint32_t>(payload.size()));
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

void AppendTag(std::vector<std::uint8_t>& out, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(tag[i]));
}

} // namespace

std::vector<std::uint8_t> WriteSmf(const SmfFile& file, SmfRunningStatus runningStatus) {
    std::vector<std::uint8_t> out;
    AppendTag(out, "MThd");
    AppendBigEndian(out, 6, 4);
    AppendBigEndian(out, file.Format, 2);
    AppendBigEndian(out, static_cast<std::uint16_t>(file.Tracks.size()), 2);
    AppendBigEndian(out, file.Division, 2);
    for (const SmfTrack& track : file.Tracks) {
        const auto data = TrackData(file, track, runningStatus);
        AppendTag(out, "MTrk");
        AppendBigEndian(out, static_cast<std::uint32_t>(data.size()), 4);
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

} // namespace kadrel
