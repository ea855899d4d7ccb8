#include "song/TrackEdits.h"

#include <algorithm>

namespace kadrel {

namespace {

using Step = TrackEditUndo::EventStep;

constexpr std::uint8_t TrackName = 0x03;

bool IsChannelEventOf(const KeptEvent& e, std::int32_t channel) {
    return e.Status < 0xF0 && (e.Status & 0x0F) == channel;
}

// Records an edit as it goes, so that each change is written once.
class Editor {
public:
    Editor(Song& song) : song_(song) {
        undo_.RowCount = song.Tracks.size();
        undo_.FileTrackCount = song.FileTracks.size();
    }

    TrackEditUndo Done() { return std::move(undo_); }

    SongTrack& Row(std::uint32_t row) {
        const auto seen = std::find_if(undo_.Rows.begin(), undo_.Rows.end(),
                                       [&](const auto& r) { return r.first == row; });
        if (seen == undo_.Rows.end())
            undo_.Rows.emplace_back(row, song_.Tracks[row]);
        return song_.Tracks[row];
    }

    TMidiNote& Note(std::uint32_t index) {
        undo_.Notes.emplace_back(index, song_.Notes[index]);
        return song_.Notes[index];
    }

    KeptEvent& Event(std::uint32_t fileTrack, std::uint32_t index) {
        KeptEvent& e = song_.FileTracks[fileTrack].Events[index];
        undo_.Steps.push_back({Step::Changed, fileTrack, {{index, e}}});
        return e;
    }

    // Adds an event at tick 0, after those added before it there, with a new order.
    std::uint32_t Insert(std::uint32_t fileTrack, KeptEvent e) {
        FileTrack& track = Sized(fileTrack);
        e.Tick = 0;
        e.Order = track.NextOrder++;
        e.Flags = KeptEvent::Added;
        const auto at =
            std::find_if(track.Events.begin(), track.Events.end(), [](const KeptEvent& k) {
                return k.Tick > 0 || (k.Flags & KeptEvent::Added) == 0;
            });
        const auto index = static_cast<std::uint32_t>(at - track.Events.begin());
        track.Events.insert(at, e);
        undo_.Steps.push_back({Step::Inserted, fileTrack, {{index, e}}});
        return e.Order;
    }

    // A payload at the end of the file track's pool: where it starts.
    std::uint32_t Payload(std::uint32_t fileTrack, const std::string& bytes) {
        FileTrack& track = Sized(fileTrack);
        const auto offset = static_cast<std::uint32_t>(track.Payloads.size());
        track.Payloads.insert(track.Payloads.end(), bytes.begin(), bytes.end());
        return offset;
    }

    void RemoveChannelEvents(std::uint32_t fileTrack, std::int32_t channel) {
        auto& events = song_.FileTracks[fileTrack].Events;
        Step step{Step::Removed, fileTrack, {}};
        std::size_t kept = 0;
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (IsChannelEventOf(events[i], channel))
                step.Events.emplace_back(static_cast<std::uint32_t>(i), events[i]);
            else
                events[kept++] = events[i];
        }
        events.resize(kept);
        if (!step.Events.empty())
            undo_.Steps.push_back(std::move(step));
    }

    TrackEditUndo& Undo() { return undo_; }

private:
    // The file track, its sizes before the edit noted.
    FileTrack& Sized(std::uint32_t fileTrack) {
        FileTrack& track = song_.FileTracks[fileTrack];
        if (std::none_of(undo_.Sizes.begin(), undo_.Sizes.end(),
                         [&](const auto& s) { return s.FileTrack == fileTrack; }))
            undo_.Sizes.push_back({fileTrack, track.Payloads.size(), track.NextOrder});
        return track;
    }

    Song& song_;
    TrackEditUndo undo_;
};

// The event that gave a row its instrument, as a place in its file track; -1 if none.
std::int64_t ProgramEvent(const Song& song, const SongTrack& row) {
    if (row.ProgramOrder == NoOrder || row.ProgramTrack >= song.FileTracks.size())
        return -1;
    const auto& events = song.FileTracks[row.ProgramTrack].Events;
    for (std::size_t i = 0; i < events.size(); ++i)
        if (events[i].Order == row.ProgramOrder && (events[i].Status & 0xF0) == 0xC0)
            return static_cast<std::int64_t>(i);
    return -1;
}

void Rename(Song& song, Editor& edit, std::uint32_t row, const std::string& name) {
    const std::uint32_t f = song.Tracks[row].FileTrack;
    auto& events = song.FileTracks[f].Events;
    const auto named = std::find_if(events.begin(), events.end(), [](const KeptEvent& e) {
        return e.Status == 0xFF && e.Data1 == TrackName;
    });
    if (named != events.end()) {
        const auto index = static_cast<std::uint32_t>(named - events.begin());
        const std::uint32_t offset = edit.Payload(f, name);
        KeptEvent& e = edit.Event(f, index);
        e.PayloadOffset = offset;
        e.PayloadLength = static_cast<std::uint32_t>(name.size());
    } else if (!name.empty()) {
        KeptEvent e;
        e.Status = 0xFF;
        e.Data1 = TrackName;
        e.PayloadOffset = edit.Payload(f, name);
        e.PayloadLength = static_cast<std::uint32_t>(name.size());
        edit.Insert(f, e);
    }
    for (std::uint32_t r = 0; r < song.Tracks.size(); ++r)
        if (song.Tracks[r].FileTrack == f)
            edit.Row(r).Name = name;
}

void AddProgramChange(Song& song, Editor& edit, std::uint32_t row) {
    const SongTrack& track = song.Tracks[row];
    KeptEvent e;
    e.Status = static_cast<std::uint8_t>(0xC0 | (track.Channel & 0x0F));
    e.Data1 = track.Program;
    const std::uint32_t order = edit.Insert(track.FileTrack, e);
    SongTrack& changed = edit.Row(row);
    changed.ProgramTrack = changed.FileTrack;
    changed.ProgramOrder = order;
}

void SetChannel(Song& song, Editor& edit, std::uint32_t row, std::int32_t channel) {
    const std::int32_t old = song.Tracks[row].Channel;
    const std::uint32_t f = song.Tracks[row].FileTrack;
    for (std::uint32_t i = 0; i < song.Notes.size(); ++i) {
        if (song.Notes[i].Track != row)
            continue;
        TMidiNote& note = edit.Note(i);
        note.Channel = static_cast<std::uint8_t>(channel);
        // Its events stay in place, but with another status byte.
        note.Flags = 0;
    }
    const auto& events = song.FileTracks[f].Events;
    for (std::uint32_t i = 0; i < events.size(); ++i) {
        if (!IsChannelEventOf(events[i], old))
            continue;
        KeptEvent& e = edit.Event(f, i);
        e.Status = static_cast<std::uint8_t>((e.Status & 0xF0) | channel);
        e.Flags &= static_cast<std::uint8_t>(~KeptEvent::RunningStatus);
    }
    edit.Row(row).Channel = channel;
    // An instrument that came from another track stays on the old channel there.
    if (song.Tracks[row].ProgramTrack != f || ProgramEvent(song, song.Tracks[row]) < 0)
        AddProgramChange(song, edit, row);
}

void SetProgram(Song& song, Editor& edit, std::uint32_t row, std::uint8_t program) {
    const SongTrack track = song.Tracks[row];
    const std::int64_t index = ProgramEvent(song, track);
    if (index < 0) {
        edit.Row(row).Program = program;
        AddProgramChange(song, edit, row);
        return;
    }
    edit.Event(track.ProgramTrack, static_cast<std::uint32_t>(index)).Data1 = program;
    for (std::uint32_t r = 0; r < song.Tracks.size(); ++r) {
        const SongTrack& other = song.Tracks[r];
        if (other.ProgramTrack == track.ProgramTrack && other.ProgramOrder == track.ProgramOrder)
            edit.Row(r).Program = program;
    }
}

// Puts events taken out back at their places (ascending), in one pass.
void Reinsert(std::vector<KeptEvent>& events,
              const std::vector<std::pair<std::uint32_t, KeptEvent>>& taken) {
    std::vector<KeptEvent> merged;
    merged.reserve(events.size() + taken.size());
    std::size_t next = 0;
    for (const auto& [at, e] : taken) {
        while (merged.size() < at)
            merged.push_back(events[next++]);
        merged.push_back(e);
    }
    merged.insert(merged.end(), events.begin() + static_cast<std::ptrdiff_t>(next), events.end());
    events = std::move(merged);
}

} // namespace

TrackEditUndo ChangeRow(Song& song, std::uint32_t row, const SongTrack& after) {
    Editor edit(song);
    const SongTrack before = song.Tracks[row];
    if (!song.KeepsFile) {
        SongTrack& changed = edit.Row(row);
        changed.Name = after.Name;
        changed.Channel = after.Channel;
        changed.Program = after.Program;
        return edit.Done();
    }
    if (after.Name != before.Name)
        Rename(song, edit, row, after.Name);
    if (after.Channel != before.Channel)
        SetChannel(song, edit, row, after.Channel);
    if (after.Program != song.Tracks[row].Program)
        SetProgram(song, edit, row, after.Program);
    return edit.Done();
}

TrackEditUndo AddRow(Song& song, SongTrack track) {
    Editor edit(song);
    if (!song.KeepsFile) {
        track.FileTrack = static_cast<std::uint32_t>(song.Tracks.size());
        song.Tracks.push_back(std::move(track));
        return edit.Done();
    }
    const auto f = static_cast<std::uint32_t>(song.FileTracks.size());
    song.FileTracks.emplace_back();
    track.FileTrack = f;
    track.ProgramOrder = NoOrder;
    const std::string name = track.Name;
    track.Name.clear();
    song.Tracks.push_back(std::move(track));
    const auto row = static_cast<std::uint32_t>(song.Tracks.size() - 1);
    Rename(song, edit, row, name);
    AddProgramChange(song, edit, row);
    // The new track's own changes go with it: undo takes it away whole.
    TrackEditUndo undo = edit.Done();
    undo.Steps.clear();
    undo.Sizes.clear();
    undo.Rows.clear();
    return undo;
}

TrackEditUndo DeleteRow(Song& song, std::uint32_t row) {
    Editor edit(song);
    TrackEditUndo& undo = edit.Undo();
    const SongTrack deleted = song.Tracks[row];
    undo.DeletedRow.emplace(row, deleted);
    // The notes of the row leave; those of later rows take the number one less.
    std::size_t kept = 0;
    for (std::uint32_t i = 0; i < song.Notes.size(); ++i) {
        TMidiNote& note = song.Notes[i];
        if (note.Track == row) {
            undo.RemovedAt.push_back(i);
            undo.Removed.push_back(note);
            continue;
        }
        if (note.Track > row)
            --note.Track;
        song.Notes[kept++] = note;
    }
    song.Notes.resize(kept);
    song.Tracks.erase(song.Tracks.begin() + row);
    if (!song.KeepsFile) {
        for (std::uint32_t r = row; r < song.Tracks.size(); ++r)
            song.Tracks[r].FileTrack = r;
        return edit.Done();
    }
    // Its channel's events go too, unless another row of the file track still plays on it.
    const bool shared =
        std::any_of(song.Tracks.begin(), song.Tracks.end(), [&](const SongTrack& t) {
            return t.FileTrack == deleted.FileTrack && t.Channel == deleted.Channel;
        });
    if (!shared && deleted.FileTrack < song.FileTracks.size())
        edit.RemoveChannelEvents(deleted.FileTrack, deleted.Channel);
    return edit.Done();
}

void UndoTrackEdit(Song& song, TrackEditUndo&& undo) {
    if (undo.DeletedRow) {
        const auto& [row, track] = *undo.DeletedRow;
        song.Tracks.insert(song.Tracks.begin() + row, track);
        if (!song.KeepsFile)
            for (std::uint32_t r = row; r < song.Tracks.size(); ++r)
                song.Tracks[r].FileTrack = r;
        NoteList merged;
        merged.reserve(song.Notes.size() + undo.Removed.size());
        std::size_t next = 0;
        for (std::size_t k = 0; k < undo.Removed.size(); ++k) {
            while (merged.size() < undo.RemovedAt[k])
                merged.push_back(song.Notes[next++]);
            merged.push_back(undo.Removed[k]);
        }
        merged.insert(merged.end(), song.Notes.begin() + static_cast<std::ptrdiff_t>(next),
                      song.Notes.end());
        // Later rows' notes take their numbers back; the row's own notes kept theirs.
        std::size_t k = 0;
        for (std::size_t i = 0; i < merged.size(); ++i) {
            if (k < undo.RemovedAt.size() && undo.RemovedAt[k] == i) {
                ++k;
                continue;
            }
            if (merged[i].Track >= row)
                ++merged[i].Track;
        }
        song.Notes = std::move(merged);
    }
    for (auto step = undo.Steps.rbegin(); step != undo.Steps.rend(); ++step) {
        auto& events = song.FileTracks[step->FileTrack].Events;
        switch (step->What) {
        case Step::Changed:
            events[step->Events[0].first] = step->Events[0].second;
            break;
        case Step::Inserted:
            events.erase(events.begin() + step->Events[0].first);
            break;
        case Step::Removed:
            Reinsert(events, step->Events);
            break;
        }
    }
    for (const auto& sizes : undo.Sizes) {
        FileTrack& track = song.FileTracks[sizes.FileTrack];
        track.Payloads.resize(sizes.Payloads);
        track.NextOrder = sizes.NextOrder;
    }
    for (auto note = undo.Notes.rbegin(); note != undo.Notes.rend(); ++note)
        song.Notes[note->first] = note->second;
    for (auto& [row, track] : undo.Rows)
        song.Tracks[row] = std::move(track);
    song.Tracks.resize(undo.RowCount);
    song.FileTracks.resize(undo.FileTrackCount);
}

} // namespace kadrel
