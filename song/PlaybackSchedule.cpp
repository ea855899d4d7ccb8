#include "song/PlaybackSchedule.h"

#include "song/Resolution.h"
#include "song/TrackSequence.h"

#include <algorithm>
#include <array>
#include <queue>
#include <tuple>

namespace kadrel {

namespace {

using Event = PlaybackSchedule::Event;

constexpr std::int64_t StepUs = TempoMap::StepMicroseconds;

Event NoteOn(const TMidiNote& note, bool ownVelocity) {
    Event e{note.Pos, 0, &note};
    e.Status = static_cast<std::uint8_t>(0x90 | (note.Channel & 0x0F));
    e.Data1 = note.NoteNum;
    e.Data2 = ownVelocity ? std::max<std::uint8_t>(note.Velocity, 1) : 127;
    e.On = true;
    return e;
}

Event NoteOff(const TMidiNote& note, bool ownEnd) {
    Event e{note.EndPos(), 0, &note};
    const bool zero = ownEnd && note.End == NoteEnd::NoteOnZero;
    e.Status = static_cast<std::uint8_t>((zero ? 0x90 : 0x80) | (note.Channel & 0x0F));
    e.Data1 = note.NoteNum;
    e.Data2 = ownEnd && !zero ? note.EndVelocity : 0;
    return e;
}

// A kept event that playback sends (channel messages and sysex, no meta event); false for others.
bool Sent(const FileTrack& track, const KeptEvent& k, Event& e) {
    if (k.Status == 0xFF)
        return false;
    e = Event{k.Tick, 0, nullptr};
    e.Status = k.Status;
    if (k.Status >= 0xF0) {
        e.SysEx = track.Payloads.data() + k.PayloadOffset;
        e.SysExLength = k.PayloadLength;
    } else {
        e.Data1 = k.Data1;
        e.Data2 = (k.Status & 0xF0) == 0xC0 || (k.Status & 0xF0) == 0xD0 ? 0 : k.Data2;
    }
    return true;
}

// What a channel has been given before the point where playback starts: the last program
// change, the last value of each controller, the last pitch bend, with where they stood.
class ChannelStates {
public:
    using Key = std::tuple<std::int64_t, std::uint32_t, std::uint32_t>; // tick, track, place

    void See(const Event& e, const Key& key) {
        const int kind = e.Status & 0xF0;
        const int channel = e.Status & 0x0F;
        Slot* slot = nullptr;
        if (kind == 0xC0)
            slot = &programs_[channel];
        else if (kind == 0xE0)
            slot = &bends_[channel];
        else if (kind == 0xB0)
            slot = &controllers_[channel * 128 + e.Data1];
        if (slot != nullptr && (!slot->set || slot->key < key))
            *slot = {true, key, e};
    }

    // The state, in the order the song had it.
    std::vector<Event> Events() const {
        std::vector<const Slot*> set;
        for (const auto* group : {&programs_[0], &bends_[0], &controllers_[0]}) {
            const std::size_t size = group == &controllers_[0] ? controllers_.size() : 16;
            for (std::size_t i = 0; i < size; ++i)
                if (group[i].set)
                    set.push_back(&group[i]);
        }
        std::sort(set.begin(), set.end(),
                  [](const Slot* a, const Slot* b) { return a->key < b->key; });
        std::vector<Event> events;
        for (const Slot* slot : set)
            events.push_back(slot->event);
        return events;
    }

private:
    struct Slot {
        bool set = false;
        Key key{};
        Event event{};
    };
    std::array<Slot, 16> programs_{};
    std::array<Slot, 16> bends_{};
    std::array<Slot, 16 * 128> controllers_{};
};

// The events of one file track as it plays (its saved order), from tick `first` on; what lies
// before goes to the channels' states.
std::vector<Event> TrackEvents(const Song& song, std::size_t f,
                               std::span<const std::uint32_t> notes, std::int64_t first,
                               ChannelStates& states) {
    const FileTrack& track = song.FileTracks[f];
    std::vector<Event> events;
    const std::vector<SequencedEvent> sequence = FileTrackSequence(song, f, notes);
    events.reserve(sequence.size());
    for (std::size_t i = 0; i < sequence.size(); ++i) {
        const SequencedEvent& s = sequence[i];
        Event e{};
        if (s.What == SequencedEvent::Kept) {
            if (!Sent(track, track.Events[s.Index], e))
                continue;
        } else if (s.What == SequencedEvent::NoteStart) {
            e = NoteOn(song.Notes[s.Index], true);
        } else {
            e = NoteOff(song.Notes[s.Index], true);
        }
        if (s.Tick < first) {
            if (e.Note == nullptr && !e.IsSysEx())
                states.See(e,
                           {s.Tick, static_cast<std::uint32_t>(f), static_cast<std::uint32_t>(i)});
            continue;
        }
        events.push_back(e);
    }
    return events;
}

// The tracks' events merged by tick, the tracks in order within a tick.
std::vector<Event> Merged(std::vector<std::vector<Event>> tracks) {
    std::size_t total = 0;
    for (const auto& t : tracks)
        total += t.size();
    std::vector<Event> merged;
    merged.reserve(total);
    using Head = std::tuple<std::int64_t, std::size_t, std::size_t>; // tick, track, next
    std::priority_queue<Head, std::vector<Head>, std::greater<>> heads;
    for (std::size_t t = 0; t < tracks.size(); ++t)
        if (!tracks[t].empty())
            heads.emplace(tracks[t][0].Position, t, 0);
    while (!heads.empty()) {
        const auto [tick, t, i] = heads.top();
        heads.pop();
        // Take the track's run of this tick and what follows until another track is earlier.
        std::size_t k = i;
        const std::int64_t limit = heads.empty() ? INT64_MAX : std::get<0>(heads.top());
        const std::size_t other = heads.empty() ? SIZE_MAX : std::get<1>(heads.top());
        while (k < tracks[t].size() &&
               (tracks[t][k].Position < limit || (tracks[t][k].Position == limit && t < other)))
            merged.push_back(tracks[t][k++]);
        if (k < tracks[t].size())
            heads.emplace(tracks[t][k].Position, t, k);
    }
    return merged;
}

} // namespace

void CollectPlaybackStep(const NoteList& notes, std::int64_t position, PlaybackStep& step) {
    step.Offs.clear();
    step.Ons.clear();
    for (const TMidiNote& note : notes) {
        if (note.EndPos() == position)
            step.Offs.push_back(&note);
        if (note.Pos == position)
            step.Ons.push_back(&note);
    }
}

PlaybackSchedule::PlaybackSchedule(const NoteList& notes, std::int64_t from)
    : tempo_(Song{}), from_(from) {
    // The first step handles from - 1: anything before it is never sent.
    const std::int64_t first = from - 1;
    events_.reserve(notes.size() * 2);
    for (const TMidiNote& note : notes) {
        if (note.EndPos() >= first)
            events_.push_back(NoteOff(note, false));
        if (note.Pos >= first)
            events_.push_back(NoteOn(note, false));
    }
    // Stable: within a position and a kind, the list order stays.
    std::stable_sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
        if (a.Position != b.Position)
            return a.Position < b.Position;
        return !a.On && b.On;
    });
    for (Event& e : events_)
        e.TimeUs = (e.Position - from + 1) * StepUs;
}

PlaybackSchedule::PlaybackSchedule(const Song& song, std::int64_t from, bool chase)
    : tempo_(song), from_(from) {
    ChannelStates states;
    std::size_t chased = 0;
    const bool stepped = tempo_.Stepped();
    if (stepped || !song.KeepsFile) {
        // Steps: the note-offs, the kept events, the note-ons of each position.
        const std::int64_t first = stepped ? from - 1 : GridStartTick(from, song.Division);
        enum Rank { Offs, Kept, Ons };
        std::vector<std::pair<Event, Rank>> ranked;
        ranked.reserve(song.Notes.size() * 2);
        for (const TMidiNote& note : song.Notes) {
            if (note.End != NoteEnd::Never && note.EndPos() >= first)
                ranked.emplace_back(NoteOff(note, song.KeepsFile), Offs);
            if (note.Pos >= first)
                ranked.emplace_back(NoteOn(note, song.KeepsFile), Ons);
        }
        for (std::size_t f = 0; song.KeepsFile && f < song.FileTracks.size(); ++f)
            for (const Event& e : TrackEvents(song, f, {}, first, states))
                ranked.emplace_back(e, Kept);
        std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
            return std::tie(a.first.Position, a.second) < std::tie(b.first.Position, b.second);
        });
        if (chase)
            events_ = states.Events();
        chased = events_.size();
        for (const auto& [e, rank] : ranked)
            events_.push_back(e);
        startUs_ = stepped ? 0 : tempo_.GridMicroseconds(from);
    } else {
        const std::int64_t first = GridStartTick(from, song.Division);
        const NotesByFileTrack notes(song);
        std::vector<std::vector<Event>> tracks;
        tracks.reserve(song.FileTracks.size());
        for (std::size_t f = 0; f < song.FileTracks.size(); ++f)
            tracks.push_back(TrackEvents(song, f, notes.Of(f), first, states));
        if (chase)
            events_ = states.Events();
        chased = events_.size();
        std::vector<Event> merged = Merged(std::move(tracks));
        events_.insert(events_.end(), merged.begin(), merged.end());
        startUs_ = tempo_.GridMicroseconds(from);
    }
    // The chase goes at once; the rest at its time.
    for (std::size_t i = chased; i < events_.size(); ++i) {
        Event& e = events_[i];
        e.TimeUs =
            stepped ? (e.Position - from + 1) * StepUs : tempo_.Microseconds(e.Position) - startUs_;
    }
}

std::int64_t PlaybackSchedule::CursorTimeUs(std::int64_t position) const {
    if (tempo_.Stepped())
        return (position - from_ - 1) * StepUs;
    return tempo_.GridMicroseconds(position) - startUs_;
}

std::int64_t PlaybackSchedule::PositionAt(std::int64_t timeUs) const {
    if (tempo_.Stepped())
        return timeUs / StepUs + from_ - 1;
    return tempo_.GridPositionAt(timeUs + startUs_);
}

} // namespace kadrel
