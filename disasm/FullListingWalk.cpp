// The full walk of kadrel-disasm --all: every byte of the source gets a place in the listing.

#include "disasm/FullListingWalk.h"

#include "disasm/Disassembler.h"
#include "disasm/ListingWriter.h"
#include "util/TextUtils.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

namespace kadrel {

namespace {

// Raw bytes are shown six to a line, as the checked walk shows names.
constexpr std::size_t BytesPerLine = 6;

std::string_view MetaName(std::uint8_t type) {
    switch (type) {
    case 0x00:
        return "Sequence number";
    case 0x01:
        return "Text";
    case 0x02:
        return "Copyright notice";
    case 0x03:
        return "Track name";
    case 0x04:
        return "Instrument name";
    case 0x05:
        return "Lyric";
    case 0x06:
        return "Marker";
    case 0x07:
        return "Cue point";
    case 0x08:
        return "Program name";
    case 0x09:
        return "Device name";
    case 0x20:
        return "MIDI channel prefix";
    case 0x21:
        return "MIDI port";
    case 0x2F:
        return "End of track";
    case 0x51:
        return "Tempo setting";
    case 0x54:
        return "SMPTE offset";
    case 0x58:
        return "Time Signature event";
    case 0x59:
        return "Key Signature";
    case 0x7F:
        return "Sequencer-specific event";
    default:
        return "Unknown meta-event";
    }
}

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint32_t LittleEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

class FullWalk {
public:
    FullWalk(std::span<const std::uint8_t> source, ListingWriter& out)
        : p_(source.data()), size_(source.size()), out_(out) {}

    void Run() {
        if (size_ >= 12 && Tag(0, "RIFF") && Tag(8, "RMID"))
            Riff();
        else
            Chunks(0, size_);
        Line("* End Of File *");
    }

private:
    bool Tag(std::size_t at, const char* tag) const {
        return size_ - at >= 4 && std::memcmp(p_ + at, tag, 4) == 0;
    }

    // The end of a chunk whose data starts at start and claims length bytes, cut at limit.
    static std::size_t ChunkEnd(std::size_t start, std::uint32_t length, std::size_t limit) {
        return limit - start < length ? limit : start + length;
    }

    void Line(std::string_view text) {
        out_.Text(text);
        out_.EndLine();
    }

    // A line that names a problem and where it is; its bytes follow on lines of their own.
    void Problem(std::string_view text, std::size_t offset) {
        out_.Text(text);
        out_.Text(" at offset #");
        out_.Number(offset);
        out_.EndLine();
    }

    void Group(std::size_t at, std::size_t count) { out_.Group(p_ + at, static_cast<int>(count)); }

    // Bytes [from, to) six to a line, each line explained by text.
    void Raw(std::size_t from, std::size_t to, std::string_view text) {
        for (std::size_t at = from; at < to; at += BytesPerLine) {
            Group(at, std::min(BytesPerLine, to - at));
            out_.Text(text);
            out_.EndLine();
        }
    }

    // Bytes [from, to) six to a line, with their characters in quotes; control characters
    // show as dots so that a text never breaks a line of the listing.
    void Characters(std::size_t from, std::size_t to) {
        for (std::size_t at = from; at < to; at += BytesPerLine) {
            const std::size_t count = std::min(BytesPerLine, to - at);
            Group(at, count);
            char chars[BytesPerLine];
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint8_t b = p_[at + i];
                chars[i] = (b < 0x20 || b == 0x7F) ? '.' : static_cast<char>(b);
            }
            out_.Text("\"");
            out_.Text(std::string_view(chars, count));
            out_.Text("\"");
            out_.EndLine();
        }
    }

    // The tag of a chunk of another kind, printable.
    void TagText(std::size_t at) {
        char tag[4];
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = p_[at + i];
            tag[i] = (b < 0x20 || b >= 0x7F) ? '.' : static_cast<char>(b);
        }
        out_.Text("\"");
        out_.Text(std::string_view(tag, 4));
        out_.Text("\"");
    }

    void Riff() {
        Group(0, 4);
        Line("\"RIFF\"");
        const std::uint32_t length = LittleEndian32(p_ + 4);
        Group(4, 4);
        out_.Text("Size of RIFF chunk: ");
        out_.Number(length);
        out_.EndLine();
        Group(8, 4);
        Line("\"RMID\"");
        out_.BlankLine();
        const std::size_t end = ChunkEnd(8, length, size_);
        std::size_t at = 12;
        while (at < end) {
            if (end - at < 8) {
                Raw(at, end, "Too few bytes for a chunk");
                at = end;
                break;
            }
            const std::uint32_t size = LittleEndian32(p_ + at + 4);
            const bool data = Tag(at, "data");
            Group(at, 4);
            TagText(at);
            out_.Text(data ? "" : " (chunk skipped)");
            out_.EndLine();
            Group(at + 4, 4);
            out_.Text("Size of chunk: ");
            out_.Number(size);
            out_.EndLine();
            out_.BlankLine();
            const std::size_t start = at + 8;
            const std::size_t chunkEnd = ChunkEnd(start, size, end);
            if (data)
                Chunks(start, chunkEnd);
            else
                Raw(start, chunkEnd, "Skipped");
            at = chunkEnd;
            // RIFF chunks are padded to an even length.
            if ((size & 1) != 0 && at < end) {
                Group(at, 1);
                Line("Padding byte");
                ++at;
            }
            out_.BlankLine();
        }
        Raw(at, size_, "After the RIFF chunk");
    }

    // The chunks of a Standard MIDI File in [from, to).
    void Chunks(std::size_t from, std::size_t to) {
        std::size_t at = from;
        if (!(to - at >= 8 && Tag(at, "MThd")))
            Line("No MThd header: the bytes are listed as chunks");
        unsigned declared = 0;
        unsigned k = 0;
        while (at < to) {
            if (to - at < 8) {
                Raw(at, to, "Too few bytes for a chunk");
                return;
            }
            const std::uint32_t length = BigEndian32(p_ + at + 4);
            const std::size_t start = at + 8;
            const std::size_t end = ChunkEnd(start, length, to);
            if (at == from && Tag(at, "MThd")) {
                declared = Header(at, length, end);
            } else if (Tag(at, "MTrk")) {
                ++k;
                Track(at, k, end);
                if (k == declared)
                    Line("* Logical End *");
            } else {
                OtherChunk(at, length, end);
            }
            at = end;
        }
    }

    // Writes the size line of a chunk, and says so when the size runs past the data.
    void SizeLine(std::size_t at, std::string_view text, std::uint32_t length, std::size_t end) {
        Group(at + 4, 4);
        out_.Text(text);
        out_.Number(length);
        out_.EndLine();
        if (end - (at + 8) < length)
            Line("The chunk is cut short by the end of the file");
    }

    unsigned Header(std::size_t at, std::uint32_t length, std::size_t end) {
        Line("File Header");
        Line("===========");
        Group(at, 4);
        Line("\"MThd\"");
        SizeLine(at, "Size of header: ", length, end);
        std::size_t pos = at + 8;
        unsigned tracks = 0;
        if (end - pos >= 2) {
            const unsigned format = p_[pos] << 8 | p_[pos + 1];
            Group(pos, 2);
            static constexpr std::string_view formats[] = {
                "File Format: single track", "File Format: synchronous multiple tracks",
                "File Format: asynchronous multiple tracks"};
            if (format <= 2) {
                out_.Text(formats[format]);
            } else {
                out_.Text("File Format: unknown (");
                out_.Number(format);
                out_.Text(")");
            }
            out_.EndLine();
            pos += 2;
        }
        if (end - pos >= 2) {
            tracks = p_[pos] << 8 | p_[pos + 1];
            Group(pos, 2);
            out_.Text("Number of tracks: ");
            out_.Number(tracks);
            out_.EndLine();
            pos += 2;
        }
        if (end - pos >= 2) {
            const std::uint8_t high = p_[pos];
            const std::uint8_t low = p_[pos + 1];
            Group(pos, 2);
            if ((high & 0x80) != 0) {
                out_.Text("Time code: ");
                out_.Number(256u - high);
                out_.Text(" frames per second, ");
                out_.Number(low);
                out_.Text(" ticks per frame");
            } else {
                out_.Text("Number of delta-time ticks per quarter note: ");
                out_.Number(high << 8 | low);
            }
            out_.EndLine();
            pos += 2;
        }
        Raw(pos, end, length < 6 ? "Header cut short" : "Extra header bytes");
        out_.BlankLine();
        return tracks;
    }

    void OtherChunk(std::size_t at, std::uint32_t length, std::size_t end) {
        Line("Chunk of another type");
        Group(at, 4);
        TagText(at);
        out_.Text(" (chunk skipped)");
        out_.EndLine();
        SizeLine(at, "Size of chunk: ", length, end);
        out_.BlankLine();
        Raw(at + 8, end, "Skipped");
        if (end > at + 8)
            out_.BlankLine();
    }

    void Track(std::size_t at, unsigned k, std::size_t end) {
        out_.Text("Track ");
        out_.Number(k);
        out_.EndLine();
        Line(k <= 9 ? "=======" : "========");
        Group(at, 4);
        Line("\"MTrk\"");
        SizeLine(at, "Size of track: ", BigEndian32(p_ + at + 4), end);
        out_.BlankLine();
        TrackEvents(at + 8, end);
    }

    // A variable-length quantity of at most four bytes at pos_. Returns its byte count, 0 when
    // the track ends inside it, -1 when it is longer than four bytes.
    int Quantity(std::uint32_t& value) const {
        value = 0;
        for (int count = 1; count <= 4; ++count) {
            if (pos_ + count > end_)
                return 0;
            const std::uint8_t b = p_[pos_ + count - 1];
            value = value << 7 | (b & 0x7Fu);
            if (b < 0x80)
                return count;
        }
        return pos_ + 4 < end_ ? -1 : 0;
    }

    // Ends the track's listing at pos_: the rest of the chunk is shown as bytes.
    void RestOfTrack(std::string_view text) {
        Raw(pos_, end_, text);
        if (pos_ < end_)
            out_.BlankLine();
        pos_ = end_;
    }

    void TrackEvents(std::size_t start, std::size_t end) {
        pos_ = start;
        end_ = end;
        running_ = 0;
        bool interrupted = false;
        while (pos_ < end_) {
            if (!interrupted) {
                std::uint32_t delta = 0;
                const int n = Quantity(delta);
                if (n == 0) {
                    RestOfTrack("Delta-Time cut short by the end of the track");
                    break;
                }
                if (n < 0) {
                    Problem("Delta-Time longer than four bytes", pos_ + 4);
                    RestOfTrack("Not read");
                    break;
                }
                Group(pos_, static_cast<std::size_t>(n));
                out_.Text("Event Delta-Time: ");
                out_.Number(delta);
                out_.EndLine();
                pos_ += static_cast<std::size_t>(n);
                if (pos_ >= end_) {
                    Line("The track ends after a delta time");
                    break;
                }
            }
            interrupted = false;
            const std::uint8_t status = p_[pos_];
            bool more = true;
            if (status < 0x80) {
                if (running_ == 0) {
                    Problem("Data byte without running status", pos_);
                    RestOfTrack("Not read");
                    break;
                }
                more = ChannelEvent(running_, true, interrupted);
            } else if (status < 0xF0) {
                ++pos_;
                more = ChannelEvent(status, false, interrupted);
            } else if (status == 0xF0 || status == 0xF7) {
                more = SysEx();
            } else if (status == 0xFF) {
                bool endOfTrack = false;
                more = Meta(endOfTrack);
                if (endOfTrack) {
                    RestOfTrack("After the end of track, not read");
                    return;
                }
            } else {
                Problem("System status byte in a track", pos_);
                RestOfTrack("Not read");
                break;
            }
            if (!more)
                break;
        }
        Line("No end of track in this chunk");
        out_.BlankLine();
    }

    std::string_view ChannelText(std::uint8_t kind) const {
        switch (kind) {
        case 0x80:
            return "Note OFF on channel ";
        case 0x90:
            return "Note ON on channel ";
        case 0xA0:
            return "Key pressure on channel ";
        case 0xB0:
            return "Controller change on channel ";
        case 0xC0:
            return "Program change on channel ";
        case 0xD0:
            return "Channel pressure on channel ";
        default:
            return "Pitch bend on channel ";
        }
    }

    // The explanation of a channel message's data bytes.
    void DataText(std::uint8_t kind, const std::uint8_t* d, int count) {
        const std::uint8_t a = count > 0 ? d[0] : 0;
        const std::uint8_t b = count > 1 ? d[1] : 0;
        switch (kind) {
        case 0x80:
        case 0x90:
            out_.Text("Note: ");
            out_.Number(a);
            out_.Text("; Velocity: ");
            out_.Number(b);
            break;
        case 0xA0:
            out_.Text("Note: ");
            out_.Number(a);
            out_.Text("; Pressure: ");
            out_.Number(b);
            break;
        case 0xB0:
            out_.Text("Controller: ");
            out_.Number(a);
            out_.Text("; New value: ");
            out_.Number(b);
            break;
        case 0xC0:
            out_.Text("New program: ");
            out_.Number(a);
            break;
        case 0xD0:
            out_.Text("Pressure: ");
            out_.Number(a);
            break;
        default:
            out_.Text("Value: ");
            out_.Number(a | b << 7);
            break;
        }
    }

    // A channel message from its data bytes at pos_ (its status byte, if any, already shown
    // or left out). False when the track ends inside it.
    bool ChannelEvent(std::uint8_t status, bool runningStatus, bool& interrupted) {
        const std::uint8_t kind = status & 0xF0;
        const int count = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        if (!runningStatus) {
            Group(pos_ - 1, 1);
            out_.Text(ChannelText(kind));
            out_.Number(status & 0x0F);
            out_.EndLine();
        }
        int got = 0;
        while (got < count && pos_ + got < end_ && p_[pos_ + got] < 0x80)
            ++got;
        if (got == count) {
            Group(pos_, static_cast<std::size_t>(count));
            if (runningStatus) {
                out_.Text("Running status, ");
                out_.Text(ChannelText(kind));
                out_.Number(status & 0x0F);
                out_.Text(": ");
            }
            DataText(kind, p_ + pos_, count);
            out_.EndLine();
            out_.BlankLine();
            pos_ += static_cast<std::size_t>(count);
            running_ = status;
            return true;
        }
        if (pos_ + got >= end_) {
            RestOfTrack("Event cut short by the end of the track");
            return false;
        }
        // A status byte where a data byte should be: the message is incomplete, and the
        // status begins the next event, at the same time.
        if (got > 0)
            Raw(pos_, pos_ + got, "Incomplete data, event dropped");
        Problem("Status byte instead of a data byte", pos_ + got);
        out_.BlankLine();
        pos_ += static_cast<std::size_t>(got);
        interrupted = true;
        return true;
    }

    // The group of the status, the length (a quantity) and, for a meta event, the type between
    // them; the caller writes the explanation. False, after lines that say why, when the length
    // cannot be read; what names the event then.
    bool EventHead(std::size_t headBytes, std::string_view what, std::uint32_t& length) {
        const std::size_t start = pos_;
        pos_ += headBytes;
        const int n = Quantity(length);
        if (n == 0) {
            pos_ = start;
            RestOfTrack("Event cut short by the end of the track");
            return false;
        }
        if (n < 0) {
            Group(start, headBytes);
            Line(what);
            Problem("Length longer than four bytes", pos_ + 4);
            RestOfTrack("Not read");
            return false;
        }
        Group(start, headBytes + static_cast<std::size_t>(n));
        pos_ += static_cast<std::size_t>(n);
        return true;
    }

    bool SysEx() {
        const std::uint8_t status = p_[pos_];
        const std::string_view what =
            status == 0xF0 ? "System exclusive" : "System exclusive continuation or escape";
        std::uint32_t length = 0;
        if (!EventHead(1, what, length))
            return false;
        out_.Text(what);
        out_.Text(" (size: ");
        out_.Number(length);
        out_.Text(")");
        out_.EndLine();
        return Payload(length, false);
    }

    // The payload of a sysex or meta event at pos_, as characters or as bytes. False when the
    // track ends inside it.
    bool Payload(std::uint32_t length, bool characters) {
        if (end_ - pos_ < length) {
            RestOfTrack("Event cut short by the end of the track");
            return false;
        }
        if (characters)
            Characters(pos_, pos_ + length);
        else
            Raw(pos_, pos_ + length, "Data");
        pos_ += length;
        out_.BlankLine();
        return true;
    }

    bool Meta(bool& endOfTrack) {
        if (end_ - pos_ < 2) {
            RestOfTrack("Event cut short by the end of the track");
            return false;
        }
        const std::uint8_t type = p_[pos_ + 1];
        const std::size_t head = pos_;
        const std::string_view name = MetaName(type);
        std::uint32_t length = 0;
        if (!EventHead(2, name, length))
            return false;
        const bool known = (type == 0x2F && length == 0) || (type == 0x51 && length == 3) ||
                           (type == 0x58 && length == 4) || (type == 0x59 && length == 2);
        if (known && pos_ - head == 3 && end_ - pos_ >= length) {
            out_.Text(name);
            out_.EndLine();
            if (type == 0x2F) {
                out_.BlankLine();
                endOfTrack = true;
                return true;
            }
            KnownMeta(type);
            out_.BlankLine();
            return true;
        }
        out_.Text(name);
        if (name == "Unknown meta-event") {
            out_.Text(" of type ");
            out_.Number(type);
        }
        out_.Text(" (size: ");
        out_.Number(length);
        out_.Text(")");
        out_.EndLine();
        endOfTrack = type == 0x2F && end_ - pos_ >= length;
        // Meta events 01 to 0F hold text.
        return Payload(length, type >= 0x01 && type <= 0x0F);
    }

    // Tempo, time signature and key signature, whose payload is there whole.
    void KnownMeta(std::uint8_t type) {
        const std::uint8_t* d = p_ + pos_;
        if (type == 0x51) {
            Group(pos_, 3);
            out_.Text("Tempo: ");
            out_.Number(d[0] * 65536u + d[1] * 256u + d[2]);
            out_.EndLine();
            pos_ += 3;
        } else if (type == 0x58) {
            Group(pos_, 2);
            out_.Text("Signature: ");
            out_.Number(d[0]);
            out_.Text(" / ");
            if (d[1] < 63) {
                out_.Number(
                    static_cast<std::uint64_t>(static_cast<std::int64_t>(IntegerPower(2, d[1]))));
            } else {
                char digits[96];
                const int n = std::snprintf(digits, sizeof digits, "%.0Lf", IntegerPower(2, d[1]));
                out_.Text(std::string_view(digits, static_cast<std::size_t>(n)));
            }
            out_.EndLine();
            Group(pos_ + 2, 1);
            out_.Text("Number of ticks in metronome click: ");
            out_.Number(d[2]);
            out_.EndLine();
            Group(pos_ + 3, 1);
            out_.Text("Number of 32nd notes to the quarter note: ");
            out_.Number(d[3]);
            out_.EndLine();
            pos_ += 4;
        } else {
            Group(pos_, 1);
            out_.Text(KeyText(d[0]));
            out_.EndLine();
            Group(pos_ + 1, 1);
            out_.Text(ModeText(d[1]));
            out_.EndLine();
            pos_ += 2;
        }
    }

    const std::uint8_t* p_;
    std::size_t size_;
    ListingWriter& out_;
    // The track being walked.
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint8_t running_ = 0;
};

} // namespace

void WalkFullListing(std::span<const std::uint8_t> source, ListingWriter& out) {
    FullWalk(source, out).Run();
}

void RunListingWalk(ListingWalkKind kind, std::span<const std::uint8_t> source,
                    ListingWriter& out) {
    if (kind == ListingWalkKind::Full)
        WalkFullListing(source, out);
    else
        WalkListing(source, out);
}

} // namespace kadrel
