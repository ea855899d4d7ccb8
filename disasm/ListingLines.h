#pragma once

// The lines of a listing, for both walks: every text that a listing shows is here, in this
// header or behind one of its line builders, and nowhere else. A builder writes one line (or a
// few that always go together) from the bytes that it explains; a field cut short by the end of
// the source shows only the bytes that exist, and the bytes missing count as 0 in the value that
// the line shows.

#include "midi/FileBytes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kadrel {

class ListingWriter;

// Texts that make a line alone, or that a walk hands to one of the generic builders below.
namespace listing_text {

// Why the checked walk stops (ProblemLine adds where).
inline constexpr std::string_view UnexpectedEnd = "Unexpected end of file";
inline constexpr std::string_view UnexpectedByte = "Unexpected byte";
inline constexpr std::string_view ParameterSize = "Unexpected parameter size";
inline constexpr std::string_view DeltaTimeTooLong = "Delta-Time is too long";
inline constexpr std::string_view UnknownMetaEvent = "Unknown meta-event";
inline constexpr std::string_view UnknownEvent = "Unknown event";
inline constexpr std::string_view ByteAfterLogicalEnd = "Unexpected byte after logical end";

// What the full walk finds where it cannot read on (ProblemLine adds where).
inline constexpr std::string_view DeltaTimeOverFourBytes = "Delta-Time longer than four bytes";
inline constexpr std::string_view LengthOverFourBytes = "Length longer than four bytes";
inline constexpr std::string_view DataByteWithoutStatus = "Data byte without running status";
inline constexpr std::string_view SystemStatusInTrack = "System status byte in a track";
inline constexpr std::string_view StatusInsteadOfData = "Status byte instead of a data byte";

// Lines of their own.
inline constexpr std::string_view LogicalEnd = "* Logical End *";
inline constexpr std::string_view EndOfFile = "* End Of File *";
inline constexpr std::string_view NoHeader = "No MThd header: the bytes are listed as chunks";
inline constexpr std::string_view OtherChunk = "Chunk of another type";
inline constexpr std::string_view ChunkCutShort = "The chunk is cut short by the end of the file";
inline constexpr std::string_view TrackEndsAfterDelta = "The track ends after a delta time";
inline constexpr std::string_view NoEndOfTrack = "No end of track in this chunk";

// Explanations of bytes shown without a meaning of their own.
inline constexpr std::string_view Unknown = "unknown";
inline constexpr std::string_view Data = "Data";
inline constexpr std::string_view Skipped = "Skipped";
inline constexpr std::string_view NotRead = "Not read";
inline constexpr std::string_view PaddingByte = "Padding byte";
inline constexpr std::string_view TooFewForAChunk = "Too few bytes for a chunk";
inline constexpr std::string_view AfterRiff = "After the RIFF chunk";
inline constexpr std::string_view HeaderCutShort = "Header cut short";
inline constexpr std::string_view ExtraHeaderBytes = "Extra header bytes";
inline constexpr std::string_view DeltaTimeCutShort =
    "Delta-Time cut short by the end of the track";
inline constexpr std::string_view EventCutShort = "Event cut short by the end of the track";
inline constexpr std::string_view IncompleteData = "Incomplete data, event dropped";
inline constexpr std::string_view AfterEndOfTrack = "After the end of track, not read";

} // namespace listing_text

// The three lines that begin every listing, naming the source.
void HeadingLines(ListingWriter& out, const std::string& sourceName);

// A line of the text alone.
void TextLine(ListingWriter& out, std::string_view text);

// The bytes (at most six) and the text that explains them.
void BytesLine(ListingWriter& out, ByteSpan bytes, std::string_view text);

// The bytes six to a line, each line explained by text.
void RawLines(ListingWriter& out, ByteSpan bytes, std::string_view text);

// The text, then " at offset #" and the offset.
void ProblemLine(ListingWriter& out, std::string_view text, std::size_t offset);

// The title of the header chunk (two lines).
void HeaderTitleLines(ListingWriter& out);

// The title of the k-th track chunk (two lines).
void TrackTitleLines(ListingWriter& out, unsigned k);

// The tag of a chunk and its letters in quotes, control characters and bytes beyond ASCII shown
// as dots; skipped: the walk passes over the chunk's data.
void ChunkTagLine(ListingWriter& out, ByteSpan tag, bool skipped = false);

enum class ChunkKind { Header, Track, Other, Riff };

// The length field of a chunk and the length it states.
void ChunkSizeLine(ListingWriter& out, ChunkKind kind, ByteSpan field, std::uint32_t length);

// The fields of the header: format, number of tracks, and the division either as ticks per
// quarter note or as frames per second and ticks per frame (a time code, top bit set). Two
// bytes each, big-endian.
void FileFormatLine(ListingWriter& out, ByteSpan field);
void TrackCountLine(ListingWriter& out, ByteSpan field);
void TicksPerQuarterLine(ListingWriter& out, ByteSpan field);
void TimeCodeLine(ListingWriter& out, ByteSpan field);

// The bytes of a delta time and its value.
void DeltaTimeLine(ListingWriter& out, ByteSpan bytes, std::uint32_t value);

// The status byte of a channel message (80 to EF): its kind and its channel.
void ChannelStatusLine(ListingWriter& out, std::uint8_t status);

// A status byte F0 to FE, whose event the checked walk does not know.
void GuessedEventLine(ListingWriter& out, std::uint8_t status);

// The data bytes of a channel message of that status. Under running status the line names the
// message, whose status byte is not in the file.
void ChannelDataLine(ListingWriter& out, std::uint8_t status, ByteSpan data,
                     bool runningStatus = false);

// The head of a meta event (FF, its type, its length) or of a sysex event (F0 or F7, its length):
// the name of the event, and with size " (size: N)" (a meta event without a name of its own
// also says its type).
void EventHeadLine(ListingWriter& out, ByteSpan head, std::optional<std::uint32_t> size);

// The text of a meta event: six characters to a line in quotes, control characters as dots.
void CharacterLines(ListingWriter& out, ByteSpan bytes);

// Up to six characters of a track name in quotes, the bytes as they are.
void NameCharactersLine(ListingWriter& out, ByteSpan bytes);

// The data of a tempo (3 bytes), a time signature (2 + 1 + 1) and a key signature (1 + 1).
// SignatureLine returns false when the denominator, a power of two, is too large for any meter
// (2^63 or more): the line shows it in full.
void TempoLine(ListingWriter& out, ByteSpan field);
bool SignatureLine(ListingWriter& out, ByteSpan field);
void MetronomeLine(ListingWriter& out, ByteSpan field);
void QuarterNoteLine(ListingWriter& out, ByteSpan field);
void KeyLine(ListingWriter& out, ByteSpan field);
void ModeLine(ListingWriter& out, ByteSpan field);

} // namespace kadrel
