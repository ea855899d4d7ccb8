// The checked walk over a source's bytes as a Standard MIDI File, one listing line per field.

#include "disasm/ListingWalk.h"

#include "disasm/ListingLines.h"
#include "disasm/ListingWriter.h"
#include "midi/FileBytes.h"
#include "midi/Vlv.h"

#include <algorithm>
#include <array>
#include <string>

namespace kadrel {

namespace {

namespace text = listing_text;

// Lines that recur for nearly every event, formatted once: the one-byte delta times, the
// status lines of channel events and the program lines.
struct RecurringLines {
    std::array<std::string, 128> delta;
    std::array<std::string, 256> status;
    std::array<std::string, 256> program;
};

// A delta time decoded as the file model decodes it, so that the listing shows the time that
// a load reads.
std::uint32_t DeltaValue(ByteSpan bytes) {
    std::array<std::uint8_t, 8> raw{};
    std::copy(bytes.begin(), bytes.end(), raw.begin());
    vlv delta;
    delta.SetBytes(raw);
    return delta.GetValue();
}

RecurringLines MakeRecurringLines() {
    RecurringLines lines;
    StringListingSink sink;
    ListingWriter out(sink, 0);
    // The writer hands every line to the sink as it ends; the line is taken from there.
    const auto take = [&sink](std::string& line) {
        line = std::move(sink.text);
        sink.text.clear();
    };
    for (int b = 0; b < 256; ++b) {
        const std::uint8_t byte = static_cast<std::uint8_t>(b);
        if (b < 128) {
            DeltaTimeLine(out, {&byte, 1}, DeltaValue({&byte, 1}));
            take(lines.delta[b]);
        }
        switch (b >> 4) {
        case 0x8:
        case 0x9:
        case 0xB:
        case 0xC:
            ChannelStatusLine(out, byte);
            take(lines.status[b]);
            break;
        case 0xF:
            GuessedEventLine(out, byte);
            take(lines.status[b]);
            break;
        }
        ChannelDataLine(out, 0xC0, {&byte, 1});
        take(lines.program[b]);
    }
    return lines;
}

const RecurringLines& Recurring() {
    static const RecurringLines lines = MakeRecurringLines();
    return lines;
}

class Walk {
public:
    Walk(ByteSpan source, ListingWriter& out) : src_(source), out_(out), lines_(Recurring()) {}

    void Run() {
        if (Header())
            Tracks();
    }

private:
    enum class EventEnd { Next, EndOfTrack, Stop };

    // Writes the line that ends the walk.
    void Stop(std::string_view why, std::size_t offset) { ProblemLine(out_, why, offset); }

    // False, after the line that says so, when no byte is left to read.
    bool EndTest() {
        if (pos_ < src_.size())
            return true;
        Stop(text::UnexpectedEnd, pos_);
        return false;
    }

    // The next count bytes, as many as there are.
    ByteSpan Take(std::size_t count) {
        const ByteSpan field = BytesAt(src_, pos_, count);
        pos_ += field.size();
        return field;
    }

    // Only after an end test.
    std::uint8_t ReadByte() { return src_[pos_++]; }

    // The bytes [from, pos_) just read.
    ByteSpan ReadSince(std::size_t from) const { return src_.subspan(from, pos_ - from); }

    // A byte whose value is fixed, checked after it is read; why names a wrong one.
    bool ExpectByte(std::uint8_t expected, std::string_view why = text::UnexpectedByte) {
        if (!EndTest())
            return false;
        if (ReadByte() != expected) {
            Stop(why, pos_);
            return false;
        }
        return true;
    }

    bool Header() {
        if (!EndTest())
            return false;
        const ByteSpan tag = Take(4);
        if (!TagAt(tag, 0, "MThd")) {
            Stop(text::UnexpectedByte, pos_);
            return false;
        }
        HeaderTitleLines(out_);
        ChunkTagLine(out_, tag);

        const std::size_t lengthAt = pos_;
        for (std::uint8_t expected : {0x00, 0x00, 0x00, 0x06})
            if (!ExpectByte(expected))
                return false;
        ChunkSizeLine(out_, ChunkKind::Header, ReadSince(lengthAt), 6);

        const std::size_t formatAt = pos_;
        if (!ExpectByte(0x00) || !EndTest())
            return false;
        if (ReadByte() > 2) {
            Stop(text::UnexpectedByte, pos_);
            return false;
        }
        FileFormatLine(out_, ReadSince(formatAt));

        if (!EndTest())
            return false;
        const ByteSpan tracks = Take(2);
        tracks_ = BigEndianAt(tracks, 0, 2);
        TrackCountLine(out_, tracks);
        if (!EndTest())
            return false;
        TicksPerQuarterLine(out_, Take(2));
        out_.BlankLine();
        return true;
    }

    void Tracks() {
        for (unsigned k = 1;; ++k) {
            if (!EndTest())
                return;
            const ByteSpan tag = Take(4);
            if (!TagAt(tag, 0, "MTrk") || k > tracks_) {
                Stop(text::UnexpectedByte, pos_);
                return;
            }
            TrackTitleLines(out_, k);
            ChunkTagLine(out_, tag);

            // Only shown: the events are walked up to their end-of-track event, whatever the
            // chunk claims.
            const ByteSpan size = Take(4);
            ChunkSizeLine(out_, ChunkKind::Track, size, BigEndianAt(size, 0, 4));
            out_.BlankLine();

            EventEnd end;
            do {
                end = Event();
            } while (end == EventEnd::Next);
            if (end == EventEnd::Stop)
                return;

            if (k == tracks_) {
                TextLine(out_, text::LogicalEnd);
                if (pos_ >= src_.size())
                    TextLine(out_, text::EndOfFile);
                else
                    Stop(text::ByteAfterLogicalEnd, pos_);
                return;
            }
        }
    }

    EventEnd Event() {
        if (!DeltaTime() || !EndTest())
            return EventEnd::Stop;
        const std::uint8_t status = ReadByte();
        switch (status >> 4) {
        case 0x8: // a note-on of velocity 0 stays a note-on
        case 0x9:
        case 0xB:
            out_.Line(lines_.status[status]);
            if (!EndTest())
                return EventEnd::Stop;
            ChannelDataLine(out_, status, Take(2));
            out_.BlankLine();
            return EventEnd::Next;
        case 0xC:
            out_.Line(lines_.status[status]);
            if (!EndTest())
                return EventEnd::Stop;
            out_.Line(lines_.program[ReadByte()]);
            out_.BlankLine();
            return EventEnd::Next;
        case 0xF:
            return status == 0xFF ? Meta() : UnknownEvent(status);
        default:
            // Running status and the channel events whose size is not known here.
            Stop(text::UnknownEvent, pos_);
            return EventEnd::Stop;
        }
    }

    // At most eight bytes, each after an end test.
    bool DeltaTime() {
        const Quantity delta = QuantityAt(src_, pos_, 8);
        if (delta.Result == Quantity::Outcome::CutShort) {
            pos_ = src_.size();
            return EndTest();
        }
        if (delta.Result == Quantity::Outcome::TooLong) {
            pos_ += delta.Length + 1; // the ninth byte is read before the walk gives up
            Stop(text::DeltaTimeTooLong, pos_);
            return false;
        }
        const ByteSpan bytes = Take(delta.Length);
        if (bytes.size() == 1)
            out_.Line(lines_.delta[bytes[0]]);
        else
            DeltaTimeLine(out_, bytes, DeltaValue(bytes));
        return true;
    }

    // F0 to FE: their size is not known, so eleven bytes are shown and passed over.
    EventEnd UnknownEvent(std::uint8_t status) {
        out_.Line(lines_.status[status]);
        BytesLine(out_, Take(6), text::Unknown);
        BytesLine(out_, Take(5), text::Unknown);
        out_.BlankLine();
        return EventEnd::Next;
    }

    // The length byte of a meta event whose length is fixed.
    bool MetaLength(std::uint8_t expected) { return ExpectByte(expected, text::ParameterSize); }

    EventEnd Meta() {
        if (!EndTest())
            return EventEnd::Stop;
        const std::uint8_t type = ReadByte();
        bool goOn = false;
        switch (type) {
        case 0x03:
            goOn = TrackName();
            break;
        case 0x2F:
            if (!MetaLength(0x00))
                return EventEnd::Stop;
            EventHeadLine(out_, ReadSince(pos_ - 3), std::nullopt);
            out_.BlankLine();
            return EventEnd::EndOfTrack;
        case 0x51:
            goOn = Tempo();
            break;
        case 0x58:
            goOn = TimeSignature();
            break;
        case 0x59:
            goOn = KeySignature();
            break;
        default:
            Stop(text::UnknownMetaEvent, pos_);
            return EventEnd::Stop;
        }
        if (!goOn)
            return EventEnd::Stop;
        out_.BlankLine();
        return EventEnd::Next;
    }

    // A one-byte length, then the name six characters to a line, each line after an end test;
    // the last, shorter line is read byte by byte.
    bool TrackName() {
        if (!EndTest())
            return false;
        const std::uint8_t length = ReadByte();
        EventHeadLine(out_, ReadSince(pos_ - 3), length);
        for (int line = 0; line < length / 6; ++line) {
            if (!EndTest())
                return false;
            NameCharactersLine(out_, Take(6));
        }
        const std::size_t rest = length % 6;
        if (rest != 0) {
            const ByteSpan chars = Take(rest);
            if (chars.size() < rest)
                return EndTest(); // fails at the first byte missing
            NameCharactersLine(out_, chars);
        }
        return true;
    }

    bool TimeSignature() {
        if (!MetaLength(0x04))
            return false;
        EventHeadLine(out_, ReadSince(pos_ - 3), std::nullopt);
        if (!EndTest())
            return false;
        // A denominator too large for any meter ends the walk rather than go on reading damaged
        // data as events.
        if (!SignatureLine(out_, Take(2)))
            return false;
        if (!EndTest())
            return false;
        MetronomeLine(out_, Take(1));
        if (!EndTest())
            return false;
        QuarterNoteLine(out_, Take(1));
        return true;
    }

    bool Tempo() {
        if (!MetaLength(0x03))
            return false;
        EventHeadLine(out_, ReadSince(pos_ - 3), std::nullopt);
        TempoLine(out_, Take(3));
        return true;
    }

    bool KeySignature() {
        if (!MetaLength(0x02))
            return false;
        EventHeadLine(out_, ReadSince(pos_ - 3), std::nullopt);
        KeyLine(out_, Take(1));
        ModeLine(out_, Take(1));
        return true;
    }

    ByteSpan src_;
    std::size_t pos_ = 0;
    unsigned tracks_ = 0; // declared in the header
    ListingWriter& out_;
    const RecurringLines& lines_;
};

} // namespace

void WalkListing(std::span<const std::uint8_t> source, ListingWriter& out) {
    Walk(source, out).Run();
}

} // namespace kadrel
