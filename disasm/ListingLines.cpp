#include "disasm/ListingLines.h"

#include "disasm/ListingWriter.h"
#include "util/TextUtils.h"

#include <algorithm>
#include <cstdio>

namespace kadrel {

namespace {

// The explanations of a key signature's two bytes: the signed number of sharps ("7 flats",
// "Key of C", "7 sharps", else "unknown") and the mode ("Major", "Minor", else "unknown").
std::string_view KeyText(std::uint8_t sharps) {
    switch (static_cast<std::int8_t>(sharps)) {
    case -7:
        return "7 flats";
    case 0:
        return "Key of C";
    case 7:
        return "7 sharps";
    default:
        return "unknown";
    }
}

std::string_view ModeText(std::uint8_t mode) {
    return mode == 0 ? "Major" : mode == 1 ? "Minor" : "unknown";
}

} // namespace

namespace {

// Raw bytes and characters are shown six to a line.
constexpr std::size_t BytesPerLine = 6;

void Group(ListingWriter& out, ByteSpan bytes) {
    out.Group(bytes.data(), static_cast<int>(bytes.size()));
}

// The bytes as characters in quotes, each byte for which hidden(byte) holds shown as a dot.
template <class Hidden>
void Quoted(ListingWriter& out, ByteSpan bytes, Hidden hidden) {
    char chars[BytesPerLine];
    const std::size_t count = std::min(bytes.size(), BytesPerLine);
    for (std::size_t i = 0; i < count; ++i)
        chars[i] = hidden(bytes[i]) ? '.' : static_cast<char>(bytes[i]);
    out.Text("\"");
    out.Text(std::string_view(chars, count));
    out.Text("\"");
}

// Control characters would break a line of the listing.
bool IsControl(std::uint8_t b) {
    return b < 0x20 || b == 0x7F;
}

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
        return listing_text::UnknownMetaEvent;
    }
}

std::string_view ChannelText(std::uint8_t kind) {
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

// A text, then a number, closing the line.
void NumberLine(ListingWriter& out, ByteSpan field, std::string_view text, std::uint64_t value) {
    Group(out, field);
    out.Text(text);
    out.Number(value);
    out.EndLine();
}

} // namespace

void HeadingLines(ListingWriter& out, const std::string& sourceName) {
    out.Text("Disassembling of ");
    out.LongText(sourceName);
    out.EndLine();
    TextLine(out, "By Kadrel");
    out.BlankLine();
}

void TextLine(ListingWriter& out, std::string_view text) {
    out.Text(text);
    out.EndLine();
}

void BytesLine(ListingWriter& out, ByteSpan bytes, std::string_view text) {
    Group(out, bytes);
    TextLine(out, text);
}

void RawLines(ListingWriter& out, ByteSpan bytes, std::string_view text) {
    for (std::size_t at = 0; at < bytes.size(); at += BytesPerLine)
        BytesLine(out, BytesAt(bytes, at, BytesPerLine), text);
}

void ProblemLine(ListingWriter& out, std::string_view text, std::size_t offset) {
    out.Text(text);
    out.Text(" at offset #");
    out.Number(offset);
    out.EndLine();
}

void HeaderTitleLines(ListingWriter& out) {
    TextLine(out, "File Header");
    TextLine(out, "===========");
}

void TrackTitleLines(ListingWriter& out, unsigned k) {
    out.Text("Track ");
    out.Number(k);
    out.EndLine();
    TextLine(out, k <= 9 ? "=======" : "========");
}

void ChunkTagLine(ListingWriter& out, ByteSpan tag, bool skipped) {
    Group(out, tag);
    Quoted(out, tag, [](std::uint8_t b) { return b < 0x20 || b >= 0x7F; });
    if (skipped)
        out.Text(" (chunk skipped)");
    out.EndLine();
}

void ChunkSizeLine(ListingWriter& out, ChunkKind kind, ByteSpan field, std::uint32_t length) {
    static constexpr std::string_view texts[] = {
        "Size of header: ", "Size of track: ", "Size of chunk: ", "Size of RIFF chunk: "};
    NumberLine(out, field, texts[static_cast<int>(kind)], length);
}

void FileFormatLine(ListingWriter& out, ByteSpan field) {
    static constexpr std::string_view formats[] = {"File Format: single track",
                                                   "File Format: synchronous multiple tracks",
                                                   "File Format: asynchronous multiple tracks"};
    const std::uint32_t format = BigEndianAt(field, 0, 2);
    Group(out, field);
    if (format <= 2) {
        out.Text(formats[format]);
    } else {
        out.Text("File Format: unknown (");
        out.Number(format);
        out.Text(")");
    }
    out.EndLine();
}

void TrackCountLine(ListingWriter& out, ByteSpan field) {
    NumberLine(out, field, "Number of tracks: ", BigEndianAt(field, 0, 2));
}

void TicksPerQuarterLine(ListingWriter& out, ByteSpan field) {
    NumberLine(out, field,
               "Number of delta-time ticks per quarter note: ", BigEndianAt(field, 0, 2));
}

void TimeCodeLine(ListingWriter& out, ByteSpan field) {
    Group(out, field);
    out.Text("Time code: ");
    // The first byte is the negated number of frames per second.
    out.Number(256u - ByteAt(field, 0));
    out.Text(" frames per second, ");
    out.Number(ByteAt(field, 1));
    out.Text(" ticks per frame");
    out.EndLine();
}

void DeltaTimeLine(ListingWriter& out, ByteSpan bytes, std::uint32_t value) {
    NumberLine(out, bytes, "Event Delta-Time: ", value);
}

void ChannelStatusLine(ListingWriter& out, std::uint8_t status) {
    NumberLine(out, {&status, 1}, ChannelText(status & 0xF0), status & 0x0F);
}

void GuessedEventLine(ListingWriter& out, std::uint8_t status) {
    NumberLine(out, {&status, 1}, "Unknown event, guessed size, channel (if used) is ",
               status & 0x0F);
}

void ChannelDataLine(ListingWriter& out, std::uint8_t status, ByteSpan data, bool runningStatus) {
    const std::uint8_t kind = status & 0xF0;
    const std::uint8_t a = ByteAt(data, 0);
    const std::uint8_t b = ByteAt(data, 1);
    Group(out, data);
    if (runningStatus) {
        out.Text("Running status, ");
        out.Text(ChannelText(kind));
        out.Number(status & 0x0F);
        out.Text(": ");
    }
    switch (kind) {
    case 0x80:
    case 0x90:
        out.Text("Note: ");
        out.Number(a);
        out.Text("; Velocity: ");
        out.Number(b);
        break;
    case 0xA0:
        out.Text("Note: ");
        out.Number(a);
        out.Text("; Pressure: ");
        out.Number(b);
        break;
    case 0xB0:
        out.Text("Controller: ");
        out.Number(a);
        out.Text("; New value: ");
        out.Number(b);
        break;
    case 0xC0:
        out.Text("New program: ");
        out.Number(a);
        break;
    case 0xD0:
        out.Text("Pressure: ");
        out.Number(a);
        break;
    default:
        out.Text("Value: ");
        out.Number(a | b << 7);
        break;
    }
    out.EndLine();
}

void EventHeadLine(ListingWriter& out, ByteSpan head, std::optional<std::uint32_t> size) {
    const std::uint8_t status = ByteAt(head, 0);
    const std::uint8_t type = ByteAt(head, 1);
    Group(out, head);
    std::string_view name;
    if (status == 0xFF)
        name = MetaName(type);
    else if (status == 0xF0)
        name = "System exclusive";
    else
        name = "System exclusive continuation or escape";
    out.Text(name);
    if (size) {
        if (status == 0xFF && name == listing_text::UnknownMetaEvent) {
            out.Text(" of type ");
            out.Number(type);
        }
        out.Text(" (size: ");
        out.Number(*size);
        out.Text(")");
    }
    out.EndLine();
}

void CharacterLines(ListingWriter& out, ByteSpan bytes) {
    for (std::size_t at = 0; at < bytes.size(); at += BytesPerLine) {
        const ByteSpan line = BytesAt(bytes, at, BytesPerLine);
        Group(out, line);
        Quoted(out, line, IsControl);
        out.EndLine();
    }
}

void NameCharactersLine(ListingWriter& out, ByteSpan bytes) {
    Group(out, bytes);
    Quoted(out, bytes, [](std::uint8_t) { return false; });
    out.EndLine();
}

void TempoLine(ListingWriter& out, ByteSpan field) {
    NumberLine(out, field, "Tempo: ", BigEndianAt(field, 0, 3));
}

bool SignatureLine(ListingWriter& out, ByteSpan field) {
    const std::uint8_t exponent = ByteAt(field, 1);
    const long double denominator = IntegerPower(2, exponent);
    Group(out, field);
    out.Text("Signature: ");
    out.Number(ByteAt(field, 0));
    out.Text(" / ");
    const bool fits = exponent < 63;
    if (fits) {
        // Truncated to the signed 64-bit count that a meter is.
        out.Number(static_cast<std::uint64_t>(static_cast<std::int64_t>(denominator)));
    } else {
        // No longer fits that count, but the power of two is still exact in a long double.
        char digits[96];
        const int n = std::snprintf(digits, sizeof digits, "%.0Lf", denominator);
        out.Text(std::string_view(digits, static_cast<std::size_t>(n)));
    }
    out.EndLine();
    return fits;
}

void MetronomeLine(ListingWriter& out, ByteSpan field) {
    NumberLine(out, field, "Number of ticks in metronome click: ", ByteAt(field, 0));
}

void QuarterNoteLine(ListingWriter& out, ByteSpan field) {
    NumberLine(out, field, "Number of 32nd notes to the quarter note: ", ByteAt(field, 0));
}

void KeyLine(ListingWriter& out, ByteSpan field) {
    BytesLine(out, field, KeyText(ByteAt(field, 0)));
}

void ModeLine(ListingWriter& out, ByteSpan field) {
    BytesLine(out, field, ModeText(ByteAt(field, 0)));
}

} // namespace kadrel
