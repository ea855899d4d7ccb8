#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace kadrel {

// How a note ends in its file.
enum class NoteEnd : std::uint8_t {
    NoteOff,    // a note-off, with EndVelocity
    NoteOnZero, // a note-on of velocity 0
    Never,      // the file never closed it: it lasts until its track ends
};

// The place of an event among the events of its file track, in file order. Notes made or
// changed in Kadrel have none: they are written where the rules for edited notes put them.
inline constexpr std::uint32_t NoOrder = std::numeric_limits<std::uint32_t>::max();

// One note of the song, a plain value: the song holds its notes in one vector. Positions are
// ticks of the song's division from the start of the song.
struct TMidiNote {
    std::uint8_t NoteNum = 0; // MIDI note number, 0..127
    std::int32_t Pos = 0;     // start, in ticks
    std::int32_t Len = 0;     // length in ticks; 0 only for a file's note ended at its start
    std::uint8_t Channel = 0; // channel 0..15 on which the note sounds and is saved
    // Number of the owning track row. Wider than a byte: an imported file makes a row for each
    // track and channel, which can be far more than 256, and their notes must not fold onto the
    // first ones.
    std::uint32_t Track = 0;
    std::uint8_t Velocity = 127; // of the note-on, 1..127
    NoteEnd End = NoteEnd::NoteOff;
    std::uint8_t EndVelocity = 0; // of the note-off that ends it
    std::uint8_t Flags = 0;       // how its events were written in the file (the flags below)
    // Where its note-on and its end stand among the events of its file track; NoOrder for a
    // note made or changed in Kadrel.
    std::uint32_t StartOrder = NoOrder;
    std::uint32_t EndOrder = NoOrder;

    // The note-on, or the end, was written with running status.
    static constexpr std::uint8_t StartRunningStatus = 1;
    static constexpr std::uint8_t EndRunningStatus = 2;

    // True while the note is as its file held it (its events are written back where they were).
    bool FromFile() const { return StartOrder != NoOrder; }
    std::int64_t EndPos() const { return std::int64_t{Pos} + Len; }
    // Whoever changes a note's time, length, number, channel or velocity calls this: the note is
    // then written where the rules for edited notes put it, with every status byte.
    void MarkEdited() {
        StartOrder = NoOrder;
        EndOrder = NoOrder;
        Flags = 0;
    }

    bool operator==(const TMidiNote&) const = default;
};

// Every note of every track, in order of creation: the export writes the events of one tick
// in this order, the import ends the last note of a number, playback sends in this order.
using NoteList = std::vector<TMidiNote>;

// A track row of the song, as the editor keeps it.
struct SongTrack {
    std::string Name;         // free text, UTF-8
    std::int32_t Channel = 0; // 0..15; Ouvrir gives a track without channel events its number,
                              // which can be 16 or more: nothing can be sent on such a channel
    std::uint8_t Program = 0; // 0..127
    // The file track that holds the row's notes and its channel's events (imported songs; a
    // song made in Kadrel has one file track per row, in row order).
    std::uint32_t FileTrack = 0;
    // The program change that gave the row its instrument (imported songs): its file track and
    // its order there; NoOrder when none did.
    std::uint32_t ProgramTrack = 0;
    std::uint32_t ProgramOrder = NoOrder;

    bool operator==(const SongTrack&) const = default;
};

// An event of a file track that is not one of its notes, with its tick and its bytes: meta
// events of every type, sysex, controllers, program changes, pitch bends, pressures, note-offs
// that close nothing.
struct KeptEvent {
    std::int64_t Tick = 0;
    std::uint32_t Order = 0; // its place among the events of its file track, in file order
    std::uint8_t Status = 0; // 0x80..0xEF, 0xF0, 0xF7 or 0xFF
    std::uint8_t Data1 = 0;  // first data byte, or the type of a meta event
    std::uint8_t Data2 = 0;  // second data byte (0 for one-byte messages)
    std::uint8_t Flags = 0;  // RunningStatus, Added
    // A sysex or meta event's data: where it lies in its file track's Payloads, and how long.
    std::uint32_t PayloadOffset = 0;
    std::uint32_t PayloadLength = 0;

    static constexpr std::uint8_t RunningStatus = 1;
    // Added in Kadrel (a track name, a program change): written first among the events of its
    // tick. Its order is a new number all the same, so that it can be found again.
    static constexpr std::uint8_t Added = 2;

    bool operator==(const KeptEvent&) const = default;
};

// A track chunk of the file, without its notes (they are the song's Notes of its rows). Its
// end of track is always its last event, so it needs no order of its own.
struct FileTrack {
    std::vector<KeptEvent> Events;      // by tick, in the order they are written
    std::vector<std::uint8_t> Payloads; // the data of its sysex and meta events
    std::int64_t EndTick = 0;           // the tick of its end of track (of its last event if none)
    std::uint32_t NextOrder = 0;        // above every order used in the track

    bool operator==(const FileTrack&) const = default;
};

// A chunk that is not a track ("MThd" and "MTrk" excepted), kept where it stood.
struct OtherChunk {
    std::array<char, 4> Id{};
    std::vector<std::uint8_t> Data;
    std::uint32_t BeforeTrack = 0; // the file track it stood before (the count: after the last)

    bool operator==(const OtherChunk&) const = default;
};

// The song being edited: every note, the track rows (a note's Track is an index into Tracks),
// the file it was read from or last saved to, and, for a song imported from a file, the file as
// it was: its format, its division, its tracks with every event that is not a note, and its
// other chunks. A song made in Kadrel or read by Ouvrir keeps nothing but its notes and rows
// (KeepsFile false, no file tracks): it is saved as Kadrel saves songs, at division 16, format 1,
// one track chunk per row.
struct Song {
    NoteList Notes;
    std::vector<SongTrack> Tracks;
    std::string FileName; // "" until the song has a file

    // True for a song that keeps a file's events (the import); false for Kadrel's own songs.
    bool KeepsFile = false;
    std::uint16_t Format = 1;
    // Ticks per quarter note, or a time-code division (top bit set: -frames per second in the
    // high byte, ticks per frame in the low one).
    std::uint16_t Division = 16;
    std::vector<FileTrack> FileTracks;
    std::vector<OtherChunk> OtherChunks;

    bool operator==(const Song&) const = default;
};

// The division of the songs Kadrel makes: 16 ticks per quarter note.
inline constexpr std::uint16_t KadrelDivision = 16;

} // namespace kadrel
