#pragma once

// A small Standard MIDI File writer for what the tolerant reader returns, so that tests, the
// fuzz target and the benchmarks can write a file back and read it again.

#include "midi/SmfReader.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kadrel::test {

enum class RunningStatus {
    AsRead, // leave the status byte out where the reader found it left out
    Always, // leave it out wherever the previous channel message had the same status
    Never,
};

inline void PutQuantity(std::vector<std::uint8_t>& out, std::uint32_t value) {
    std::uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<std::uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1)
        out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80));
    out.push_back(groups[0]);
}

inline void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void PutTag(std::vector<std::uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(tag[i]));
}

// The events of one track as chunk data.
inline std::vector<std::uint8_t> TrackData(const SmfFile& file, const SmfTrack& track,
                                           RunningStatus mode) {
    std::vector<std::uint8_t> out;
    std::uint8_t running = 0;
    for (const SmfEvent& e : track.Events) {
        PutQuantity(out, e.Delta);
        if (e.IsChannel()) {
            const bool omit =
                e.Status == running &&
                (mode == RunningStatus::Always ||
                 (mode == RunningStatus::AsRead && (e.Flags & SmfEvent::RunningStatusFlag) != 0));
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
        PutQuantity(out, static_cast<std::uint32_t>(payload.size()));
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

// The whole file: a 6-byte header, then one MTrk chunk per track.
inline std::vector<std::uint8_t> WriteSmf(const SmfFile& file,
                                          RunningStatus mode = RunningStatus::AsRead) {
    std::vector<std::uint8_t> out;
    PutTag(out, "MThd");
    Put32(out, 6);
    const std::uint16_t header[3] = {file.Format, static_cast<std::uint16_t>(file.Tracks.size()),
                                     file.Division};
    for (std::uint16_t v : header) {
        out.push_back(static_cast<std::uint8_t>(v >> 8));
        out.push_back(static_cast<std::uint8_t>(v));
    }
    for (const SmfTrack& track : file.Tracks) {
        const auto data = TrackData(file, track, mode);
        PutTag(out, "MTrk");
        Put32(out, static_cast<std::uint32_t>(data.size()));
        out.insert(out.end(), data.begin(), data.end());
    }
    return out;
}

// Everything a read keeps, payloads by content, as one comparable text.
inline std::string Describe(const SmfFile& file) {
    std::string s = "format " + std::to_string(file.Format) + " division " +
                    std::to_string(file.Division) + "\n";
    for (const SmfTrack& track : file.Tracks) {
        s += "track\n";
        for (const SmfEvent& e : track.Events) {
            s += std::to_string(e.Delta) + " " + std::to_string(e.Status) + " " +
                 std::to_string(e.Data1) + " " + std::to_string(e.Data2) + " " +
                 std::to_string(e.Flags);
            if (!e.IsChannel()) {
                s += " [";
                for (std::uint8_t b : file.Payload(track, e))
                    s += std::to_string(b) + ",";
                s += "]";
            }
            s += "\n";
        }
    }
    return s;
}

} // namespace kadrel::test
