// The walk over a source's bytes as a Standard MIDI File, one listing line per field.

#include "disasm/Disassembler.h"

#include "disasm/ListingWriter.h"
#include "midi/Vlv.h"
#include "util/TextUtils.h"

#include <array>
#include <cstdio>
#include <string_view>

namespace kadrel {

namespace {

constexpr std::string_view EndOfFileText = "Unexpected end of file at offset #";
constexpr std::string_view UnexpectedByteText = "Unexpected byte at offset #";
constexpr std::string_view ParameterSizeText = "Unexpected parameter size at offset #";

// Lines that recur for nearly every event, formatted once: the one-byte delta times, the
// status lines of channel events and the program lines.
struct RecurringLines {
    std::array<std::string, 128> delta;
    std::array<std::string, 256> status;
    std::array<std::string, 256> program;
};

RecurringLines MakeRecurringLines() {
    RecurringLines lines;
    for (int b = 0; b < 128; ++b) {
        const std::uint8_t byte = static_cast<std::uint8_t>(b);
        vlv delta;
        delta.SetBytes({byte});
        lines.delta[b] =
            FormatLine({&byte, 1}, "Event Delta-Time: " + std::to_string(delta.GetValue()));
    }
    for (int b = 0; b < 256; ++b) {
        const std::uint8_t byte = static_cast<std::uint8_t>(b);
        const std::string channel = std::to_string(b % 16);
        std::string text;
        switch (b >> 4) {
        case 0x8:
            text = "Note OFF on channel " + channel;
            break;
        case 0x9:
            text = "Note ON on channel " + channel;
            break;
        case 0xB:
            text = "Controller change on channel " + channel;
            break;
        case 0xC:
            text = "Program change on channel " + channel;
            break;
        case 0xF:
            text = "Unknown event, guessed size, channel (if used) is " + channel;
            break;
        }
        lines.status[b] = FormatLine({&byte, 1}, text);
        lines.program[b] = FormatLine({&byte, 1}, "New program: " + std::to_string(b));
    }
    return lines;
}

const RecurringLines& Recurring() {
    static const RecurringLines lines = MakeRecurringLines();
    return lines;
}

class Walk {
public:
    Walk(std::span<const std::uint8_t> source, ListingWriter& out)
        : data_(source.data()), size_(source.size()), out_(out), lines_(Recurring()) {}

    void Run() {
        if (Header())
            Tracks();
    }

private:
    enum class EventEnd { Next, EndOfTrack, Stop };

    // Writes the line that ends the walk.
    void Stop(std::string_view text, std::size_t offset) {
        out_.Text(text);
        out_.Number(offset);
        out_.EndLine();
    }

    // False, after the line that says so, when no byte is left to read.
    bool EndTest() {
        if (pos_ < size_)
            return true;
        Stop(EndOfFileText, pos_);
        return false;
    }

    // Copies up to count bytes and returns how many there were. The destination is left as it
    // was for the bytes past the end.
    int Read(std::uint8_t* dst, int count) {
        const std::size_t left = size_ - pos_;
        const int got = left < static_cast<std::size_t>(count) ? static_cast<int>(left) : count;
        for (int i = 0; i < got; ++i)
            dst[i] = data_[pos_ + i];
        pos_ += static_cast<std::size_t>(got);
        return got;
    }

    std::uint8_t ReadByte() { return data_[pos_++]; }

    // A fixed byte of the header, checked after it is read.
    bool ExpectByte(std::uint8_t expected) {
        if (!EndTest())
            return false;
        if (ReadByte() != expected) {
            Stop(UnexpectedByteText, pos_);
            return false;
        }
        return true;
    }

    // Reads a 2-byte big-endian field after an end test and writes its line.
    bool NumberField(std::string_view text, unsigned& value) {
        if (!EndTest())
            return false;
        std::uint8_t bytes[2] = {};
        const int got = Read(bytes, 2);
        value = bytes[0] * 256u + bytes[1];
        out_.Group(bytes, got);
        out_.Text(text);
        out_.Number(value);
        out_.EndLine();
        return true;
    }

    void TextLine(std::string_view text) {
        out_.Text(text);
        out_.EndLine();
    }

    void FixedLine(std::initializer_list<std::uint8_t> bytes, std::string_view text) {
        out_.Group(bytes.begin(), static_cast<int>(bytes.size()));
        out_.Text(text);
        out_.EndLine();
    }

    bool Header() {
        if (!EndTest())
            return false;
        std::uint8_t tag[4] = {};
        Read(tag, 4);
        if (std::string_view(reinterpret_cast<const char*>(tag), 4) != "MThd") {
            Stop(UnexpectedByteText, pos_);
            return false;
        }
        TextLine("File Header");
        TextLine("===========");
        FixedLine({tag[0], tag[1], tag[2], tag[3]}, "\"MThd\"");

        for (std::uint8_t expected : {0x00, 0x00, 0x00, 0x06})
            if (!ExpectByte(expected))
                return false;
        FixedLine({0x00, 0x00, 0x00, 0x06}, "Size of header: 6");

        if (!ExpectByte(0x00) || !EndTest())
            return false;
        const std::uint8_t format = ReadByte();
        static constexpr std::string_view formats[] = {"File Format: single track",
                                                       "File Format: synchronous multiple tracks",
                                                       "File Format: asynchronous multiple tracks"};
        if (format > 2) {
            Stop(UnexpectedByteText, pos_);
            return false;
        }
        FixedLine({0x00, format}, formats[format]);

        unsigned division = 0;
        if (!NumberField("Number of tracks: ", tracks_) ||
            !NumberField("Number of delta-time ticks per quarter note: ", division))
            return false;
        out_.BlankLine();
        return true;
    }

    void Tracks() {
        for (unsigned k = 1;; ++k) {
            if (!EndTest())
                return;
            std::uint8_t tag[4] = {};
            Read(tag, 4);
            if (std::string_view(reinterpret_cast<const char*>(tag), 4) != "MTrk" || k > tracks_) {
                Stop(UnexpectedByteText, pos_);
                return;
            }
            out_.Text("Track ");
            out_.Number(k);
            out_.EndLine();
            TextLine(k <= 9 ? "=======" : "========");
            FixedLine({tag[0], tag[1], tag[2], tag[3]}, "\"MTrk\"");

            // Only shown: the events are walked up to their end-of-track event, whatever the
            // chunk claims.
            std::uint8_t size[4] = {};
            const int got = Read(size, 4);
            out_.Group(size, got);
            out_.Text("Size of track: ");
            out_.Number(std::uint32_t{size[0]} << 24 | std::uint32_t{size[1]} << 16 |
                        std::uint32_t{size[2]} << 8 | size[3]);
            out_.EndLine();
            out_.BlankLine();

            EventEnd end;
            do {
                end = Event();
            } while (end == EventEnd::Next);
            if (end == EventEnd::Stop)
                return;

            if (k == tracks_) {
                TextLine("* Logical End *");
                if (pos_ >= size_)
                    TextLine("* End Of File *");
                else
                    Stop("Unexpected byte after logical end at offset #", pos_);
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
            return ChannelPair(status, "Note: ", "; Velocity: ");
        case 0xB:
            return ChannelPair(status, "Controller: ", "; New value: ");
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
            Stop("Unknown event at offset #", pos_);
            return EventEnd::Stop;
        }
    }

    bool DeltaTime() {
        std::array<std::uint8_t, 8> bytes{};
        int count = 0;
        for (;;) {
            if (!EndTest())
                return false;
            const std::uint8_t b = ReadByte();
            if (count == 8) {
                Stop("Delta-Time is too long at offset #", pos_);
                return false;
            }
            bytes[count++] = b;
            if (b < 0x80)
                break;
        }
        if (count == 1) {
            out_.Line(lines_.delta[bytes[0]]);
            return true;
        }
        vlv delta;
        delta.SetBytes(bytes);
        out_.Group(bytes.data(), count);
        out_.Text("Event Delta-Time: ");
        out_.Number(delta.GetValue());
        out_.EndLine();
        return true;
    }

    // Note off, note on and controller change: the status line, then two data bytes.
    EventEnd ChannelPair(std::uint8_t status, std::string_view first, std::string_view second) {
        out_.Line(lines_.status[status]);
        if (!EndTest())
            return EventEnd::Stop;
        std::uint8_t data[2] = {};
        const int got = Read(data, 2);
        out_.Group(data, got);
        out_.Text(first);
        out_.Number(data[0]);
        out_.Text(second);
        out_.Number(data[1]);
        out_.EndLine();
        out_.BlankLine();
        return EventEnd::Next;
    }

    // F0 to FE: their size is not known, so eleven bytes are shown and passed over.
    EventEnd UnknownEvent(std::uint8_t status) {
        out_.Line(lines_.status[status]);
        for (int count : {6, 5}) {
            std::uint8_t bytes[6] = {};
            out_.Group(bytes, Read(bytes, count));
            out_.Text("unknown");
            out_.EndLine();
        }
        out_.BlankLine();
        return EventEnd::Next;
    }

    // Reads the length byte of a meta event and checks it.
    bool MetaLength(std::uint8_t expected) {
        if (!EndTest())
            return false;
        if (ReadByte() != expected) {
            Stop(ParameterSizeText, pos_);
            return false;
        }
        return true;
    }

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
            FixedLine({0xFF, 0x2F, 0x00}, "End of track");
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
            Stop("Unknown meta-event at offset #", pos_);
            return EventEnd::Stop;
        }
        if (!goOn)
            return EventEnd::Stop;
        out_.BlankLine();
        return EventEnd::Next;
    }

    void CharacterLine(const std::uint8_t* bytes, int count) {
        out_.Group(bytes, count);
        out_.Text("\"");
        out_.Text(std::string_view(reinterpret_cast<const char*>(bytes), count));
        out_.Text("\"");
        out_.EndLine();
    }

    bool TrackName() {
        if (!EndTest())
            return false;
        const std::uint8_t length = ReadByte();
        out_.Group(std::array<std::uint8_t, 3>{0xFF, 0x03, length}.data(), 3);
        out_.Text("Track name (size: ");
        out_.Number(length);
        out_.Text(")");
        out_.EndLine();

        std::uint8_t chars[6] = {};
        for (int line = 0; line < length / 6; ++line) {
            if (!EndTest())
                return false;
            CharacterLine(chars, Read(chars, 6));
        }
        const int rest = length % 6;
        if (rest != 0) {
            for (int i = 0; i < rest; ++i) {
                if (!EndTest())
                    return false;
                chars[i] = ReadByte();
            }
            CharacterLine(chars, rest);
        }
        return true;
    }

    bool TimeSignature() {
        if (!MetaLength(0x04))
            return false;
        FixedLine({0xFF, 0x58, 0x04}, "Time Signature event");
        if (!EndTest())
            return false;
        std::uint8_t fraction[2] = {};
        out_.Group(fraction, Read(fraction, 2));
        out_.Text("Signature: ");
        out_.Number(fraction[0]);
        out_.Text(" / ");
        const std::uint8_t exponent = fraction[1];
        const long double denominator = IntegerPower(2, exponent);
        if (exponent < 63) {
            out_.Number(static_cast<std::uint64_t>(static_cast<std::int64_t>(denominator)));
            out_.EndLine();
        } else {
            // 2^63 and beyond no longer fit the signed 64-bit count that a meter is truncated
            // to. The power of two is still exact in a long double, so the line shows it in
            // full; no meter has such a denominator, and the walk ends here rather than go on
            // reading damaged data as events.
            char digits[96];
            const int n = std::snprintf(digits, sizeof digits, "%.0Lf", denominator);
            out_.Text(std::string_view(digits, static_cast<std::size_t>(n)));
            out_.EndLine();
            return false;
        }
        for (std::string_view text : {"Number of ticks in metronome click: ",
                                      "Number of 32nd notes to the quarter note: "}) {
            if (!EndTest())
                return false;
            const std::uint8_t b = ReadByte();
            out_.Group(&b, 1);
            out_.Text(text);
            out_.Number(b);
            out_.EndLine();
        }
        return true;
    }

    bool Tempo() {
        if (!MetaLength(0x03))
            return false;
        FixedLine({0xFF, 0x51, 0x03}, "Tempo setting");
        std::uint8_t t[3] = {};
        out_.Group(t, Read(t, 3));
        out_.Text("Tempo: ");
        out_.Number(t[0] * 65536u + t[1] * 256u + t[2]);
        out_.EndLine();
        return true;
    }

    bool KeySignature() {
        if (!MetaLength(0x02))
            return false;
        FixedLine({0xFF, 0x59, 0x02}, "Key Signature");
        std::uint8_t sharps = 0;
        out_.Group(&sharps, Read(&sharps, 1));
        out_.Text(KeyText(sharps));
        out_.EndLine();
        std::uint8_t mode = 0;
        out_.Group(&mode, Read(&mode, 1));
        out_.Text(ModeText(mode));
        out_.EndLine();
        return true;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    unsigned tracks_ = 0; // declared in the header
    ListingWriter& out_;
    const RecurringLines& lines_;
};

} // namespace

void WriteListingHeading(ListingWriter& out, const std::string& sourceName) {
    out.Text("Disassembling of ");
    out.LongText(sourceName);
    out.EndLine();
    out.Text("By Kadrel");
    out.EndLine();
    out.BlankLine();
}

void WalkListing(std::span<const std::uint8_t> source, ListingWriter& out) {
    Walk(source, out).Run();
}

} // namespace kadrel
