#pragma once

// The bytes of a file held in memory: numbers of fixed size in either byte order, variable-length
// quantities, and chunks (a four-letter tag, a 4-byte length, the data) with the RIFF wrapper
// around them. Every reader takes the whole data and checks its bounds, so nothing here reads
// outside the span it is given, whatever offsets and lengths a damaged file claims. To keep a
// read within a part of the data (a chunk), pass that part: bytes.first(end).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kadrel {

using ByteSpan = std::span<const std::uint8_t>;

// The count bytes from at on, cut at the end of bytes: empty when at is at or past the end.
constexpr ByteSpan BytesAt(ByteSpan bytes, std::size_t at, std::size_t count) {
    if (at >= bytes.size())
        return {};
    return bytes.subspan(at, std::min(count, bytes.size() - at));
}

// The byte at at; 0 past the end.
constexpr std::uint8_t ByteAt(ByteSpan bytes, std::size_t at) {
    return at < bytes.size() ? bytes[at] : 0;
}

// The unsigned number that the count bytes (1 to 4) from at on hold, most significant byte first.
// A byte past the end counts as 0, so that a field cut short by the end of a file still has the
// value that its bytes begin.
constexpr std::uint32_t BigEndianAt(ByteSpan bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value = value << 8 | ByteAt(bytes, at + i);
    return value;
}

// The same, least significant byte first.
constexpr std::uint32_t LittleEndianAt(ByteSpan bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;)
        value = value << 8 | ByteAt(bytes, at + i);
    return value;
}

// Whether the bytes from at on are all there and spell tag ("MThd").
constexpr bool TagAt(ByteSpan bytes, std::size_t at, std::string_view tag) {
    if (at > bytes.size() || bytes.size() - at < tag.size())
        return false;
    for (std::size_t i = 0; i < tag.size(); ++i)
        if (bytes[at + i] != static_cast<std::uint8_t>(tag[i]))
            return false;
    return true;
}

// A variable-length quantity as a read found it. The quantity holds 7 bits a byte, most
// significant group first, with bit 7 set on every byte but the last.
struct Quantity {
    enum class Outcome : std::uint8_t {
        Read,     // Value and Length hold it
        CutShort, // the data ends inside it, or at its start: Length bytes are there
        TooLong,  // its first Length bytes (the most allowed) all have bit 7 set, and more follow
    };
    Outcome Result = Outcome::CutShort;
    std::uint32_t Value = 0; // the low 32 bits of its number
    std::size_t Length = 0;  // its bytes
};

// Reads the quantity at at, of at most maxLength bytes.
constexpr Quantity QuantityAt(ByteSpan bytes, std::size_t at, std::size_t maxLength) {
    // One byte, as most delta times are, is the case to make fast.
    if (at < bytes.size() && bytes[at] < 0x80 && maxLength > 0)
        return {Quantity::Outcome::Read, bytes[at], 1};
    Quantity q;
    const ByteSpan rest = at < bytes.size() ? bytes.subspan(at) : ByteSpan{};
    const std::size_t count = std::min(rest.size(), maxLength);
    while (q.Length < count) {
        const std::uint8_t b = rest[q.Length++];
        q.Value = q.Value << 7 | (b & 0x7Fu);
        if (b < 0x80) {
            q.Result = Quantity::Outcome::Read;
            return q;
        }
    }
    if (rest.size() > maxLength)
        q.Result = Quantity::Outcome::TooLong;
    return q;
}

// Appends value as count bytes (1 to 4), most significant first.
inline void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value,
                            std::size_t count) {
    for (std::size_t i = count; i-- > 0;)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Appends value as count bytes (1 to 4), least significant first.
inline void AppendLittleEndian(std::vector<std::uint8_t>& out, std::uint32_t value,
                               std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Appends value as a variable-length quantity in as few bytes as it takes (1 to 5).
inline void AppendQuantity(std::vector<std::uint8_t>& out, std::uint32_t value) {
    int shift = 28;
    while (shift > 0 && (value >> shift) == 0)
        shift -= 7;
    for (; shift > 0; shift -= 7)
        out.push_back(static_cast<std::uint8_t>(0x80 | ((value >> shift) & 0x7F)));
    out.push_back(static_cast<std::uint8_t>(value & 0x7F));
}

// Chunk lengths are big-endian in a Standard MIDI File and little-endian in a RIFF file.
enum class ByteOrder : std::uint8_t { BigEndian, LittleEndian };

// Where a chunk lies: its tag at At, its stated length, and the end of its data, cut at the end
// of the bytes it was found in.
struct ChunkRange {
    std::size_t At = 0;       // offset of its tag
    std::uint32_t Length = 0; // the length of its data, as the chunk states it
    std::size_t End = 0;      // end of its data: Start() + Length, or the end of the bytes

    constexpr std::size_t Start() const { return At + 8; } // offset of its data
    // Whether the bytes end before the length stated.
    constexpr bool CutShort() const { return End - Start() < Length; }
};

// The chunk whose tag is at at; nullopt when fewer than 8 bytes are left from at on.
constexpr std::optional<ChunkRange> ChunkAt(ByteSpan bytes, std::size_t at, ByteOrder order) {
    if (at > bytes.size() || bytes.size() - at < 8)
        return std::nullopt;
    ChunkRange chunk;
    chunk.At = at;
    chunk.Length = order == ByteOrder::BigEndian ? BigEndianAt(bytes, at + 4, 4)
                                                 : LittleEndianAt(bytes, at + 4, 4);
    const std::size_t left = bytes.size() - chunk.Start();
    chunk.End = chunk.Start() + std::min<std::size_t>(chunk.Length, left);
    return chunk;
}

// A RIFF file: one chunk "RIFF" whose data begins with a form type ("RMID" for MIDI data), then
// holds chunks of its own, from RiffChunksStart on.
inline constexpr std::size_t RiffChunksStart = 12;

// The "RIFF" chunk of a RIFF file of form type form; nullopt when the bytes are no such file.
constexpr std::optional<ChunkRange> RiffForm(ByteSpan bytes, std::string_view form) {
    if (!TagAt(bytes, 0, "RIFF") || !TagAt(bytes, 8, form))
        return std::nullopt;
    return ChunkAt(bytes, 0, ByteOrder::LittleEndian);
}

// Where the chunk that follows chunk inside a RIFF form begins: a chunk of odd length is padded
// with one byte. Never past limit, the end of the form.
constexpr std::size_t NextRiffChunk(const ChunkRange& chunk, std::size_t limit) {
    return std::min(chunk.End + (chunk.Length & 1u), limit);
}

// The first chunk tagged tag among the chunks of the RIFF form riff (see RiffForm); nullopt
// when there is none.
constexpr std::optional<ChunkRange> FindRiffChunk(ByteSpan bytes, const ChunkRange& riff,
                                                  std::string_view tag) {
    const ByteSpan form = bytes.first(riff.End);
    for (std::size_t at = RiffChunksStart; at < riff.End;) {
        const auto chunk = ChunkAt(form, at, ByteOrder::LittleEndian);
        if (!chunk)
            break;
        if (TagAt(form, at, tag))
            return chunk;
        at = NextRiffChunk(*chunk, riff.End);
    }
    return std::nullopt;
}

} // namespace kadrel
