#include "midi/FileBytes.h"
#include "core/SmfBytes.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kadrel::test {
namespace {

// Bytes past the end count as 0; a field that starts past the end is all zeros.
TEST(FileBytes, NumbersReadWithinTheBytes) {
    const Bytes data = {0x12, 0x34, 0x56, 0x78, 0x9A};
    struct Case {
        std::size_t at, count;
        std::uint32_t big, little;
        const char* field;
    } cases[] = {
        {0, 4, 0x12345678, 0x78563412, "12 34 56 78"},
        {1, 4, 0x3456789A, 0x9A785634, "34 56 78 9A"},
        {3, 2, 0x789A, 0x9A78, "78 9A"},
        {4, 1, 0x9A, 0x9A, "9A"},
        {3, 4, 0x789A0000, 0x9A78, "78 9A"}, // cut short by the end
        {5, 2, 0, 0, ""},
        {99, 4, 0, 0, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BigEndianAt(data, c.at, c.count), c.big) << c.at << "+" << c.count;
        EXPECT_EQ(LittleEndianAt(data, c.at, c.count), c.little) << c.at << "+" << c.count;
        const ByteSpan field = BytesAt(data, c.at, c.count);
        EXPECT_EQ(Hex(Bytes(field.begin(), field.end())), c.field) << c.at << "+" << c.count;
    }
    EXPECT_EQ(ByteAt(data, 4), 0x9A);
    EXPECT_EQ(ByteAt(data, 5), 0);
}

TEST(FileBytes, TagsMustBeWhole) {
    const Bytes data = Cat({Tag("MThd"), {'M', 'T', 'r'}});
    EXPECT_TRUE(TagAt(data, 0, "MThd"));
    EXPECT_FALSE(TagAt(data, 0, "MTrk"));
    EXPECT_FALSE(TagAt(data, 4, "MTrk")); // only three of its letters are there
    EXPECT_FALSE(TagAt(data, 9, "MThd"));
}

TEST(FileBytes, QuantitiesSayHowTheyEnd) {
    using Outcome = Quantity::Outcome;
    struct Case {
        const char* what;
        Bytes bytes;
        std::size_t at, maxLength;
        Outcome result;
        std::uint32_t value;
        std::size_t length;
    } cases[] = {
        {"one byte", {0x7F, 0x80}, 0, 4, Outcome::Read, 127, 1},
        {"two bytes, at an offset", {0x00, 0x81, 0x00, 0x55}, 1, 4, Outcome::Read, 128, 2},
        {"four bytes", {0xFF, 0xFF, 0xFF, 0x7F}, 0, 4, Outcome::Read, 0x0FFFFFFF, 4},
        {"the data ends inside", {0x00, 0x81, 0x80}, 1, 4, Outcome::CutShort, 0, 2},
        {"the data ends before", {0x00}, 1, 4, Outcome::CutShort, 0, 0},
        {"four continuing bytes and the end",
         {0x80, 0x80, 0x80, 0x80},
         0,
         4,
         Outcome::CutShort,
         0,
         4},
        {"a fifth byte", {0x80, 0x80, 0x80, 0x80, 0x00}, 0, 4, Outcome::TooLong, 0, 4},
        {"eight continuing bytes and a ninth",
         {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01},
         0,
         8,
         Outcome::TooLong,
         0,
         8},
        {"nine bytes allowed: the low 32 bits",
         {0x81, 0x80, 0x80, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F},
         0,
         9,
         Outcome::Read,
         0xFFFFFFFF,
         8},
    };
    for (const Case& c : cases) {
        const Quantity q = QuantityAt(c.bytes, c.at, c.maxLength);
        EXPECT_EQ(q.Result, c.result) << c.what;
        EXPECT_EQ(q.Length, c.length) << c.what;
        if (c.result == Outcome::Read) {
            EXPECT_EQ(q.Value, c.value) << c.what;
        }
    }
}

TEST(FileBytes, AppendedNumbersReadBack) {
    struct Case {
        std::uint32_t value;
        const char* quantity;
    } cases[] = {
        {0, "00"},
        {127, "7F"},
        {128, "81 00"},
        {16383, "FF 7F"},
        {16384, "81 80 00"},
        {0x0FFFFFFF, "FF FF FF 7F"},
        {0x10000000, "81 80 80 80 00"},
        {0xFFFFFFFF, "8F FF FF FF 7F"},
    };
    for (const Case& c : cases) {
        Bytes out = {0xAA};
        AppendQuantity(out, c.value);
        EXPECT_EQ(Hex(out), std::string("AA ") + c.quantity) << c.value;
        const Quantity q = QuantityAt(out, 1, 5);
        EXPECT_EQ(q.Result, Quantity::Outcome::Read) << c.value;
        EXPECT_EQ(q.Value, c.value);
        EXPECT_EQ(q.Length, out.size() - 1) << c.value;
    }
    Bytes out;
    AppendBigEndian(out, 0x01020304, 4);
    AppendBigEndian(out, 0x0506, 2);
    AppendLittleEndian(out, 0x0708090A, 4);
    AppendLittleEndian(out, 0x0B0C, 2);
    EXPECT_EQ(Hex(out), "01 02 03 04 05 06 0A 09 08 07 0C 0B");
}

TEST(FileBytes, ChunksAreCutAtTheEndOfTheBytes) {
    struct Case {
        const char* what;
        Bytes bytes;
        std::size_t at;
        ByteOrder order;
        std::optional<ChunkRange> chunk;
        bool cutShort;
    } cases[] = {
        {"whole", Cat({Tag("MTrk"), {0, 0, 0, 2, 1, 2, 3}}), 0, ByteOrder::BigEndian,
         ChunkRange{0, 2, 10}, false},
        {"cut short", Cat({{9}, Tag("MTrk"), {0, 0, 0, 5, 1, 2}}), 1, ByteOrder::BigEndian,
         ChunkRange{1, 5, 11}, true},
        {"length of 2^32 - 1", Cat({Tag("MTrk"), {0xFF, 0xFF, 0xFF, 0xFF}}), 0,
         ByteOrder::BigEndian, ChunkRange{0, 0xFFFFFFFF, 8}, true},
        {"little-endian", Cat({Tag("data"), {2, 0, 0, 0, 1, 2}}), 0, ByteOrder::LittleEndian,
         ChunkRange{0, 2, 10}, false},
        {"seven bytes", Cat({Tag("MTrk"), {0, 0, 0}}), 0, ByteOrder::BigEndian, std::nullopt,
         false},
        {"past the end", Tag("MTrk"), 6, ByteOrder::BigEndian, std::nullopt, false},
    };
    for (const Case& c : cases) {
        const auto chunk = ChunkAt(c.bytes, c.at, c.order);
        ASSERT_EQ(chunk.has_value(), c.chunk.has_value()) << c.what;
        if (!chunk)
            continue;
        EXPECT_EQ(chunk->At, c.chunk->At) << c.what;
        EXPECT_EQ(chunk->Start(), c.chunk->At + 8) << c.what;
        EXPECT_EQ(chunk->Length, c.chunk->Length) << c.what;
        EXPECT_EQ(chunk->End, c.chunk->End) << c.what;
        EXPECT_EQ(chunk->CutShort(), c.cutShort) << c.what;
    }
}

// A RIFF form of the given type and stated length around chunks.
Bytes Riff(const char (&form)[5], const Bytes& chunks, std::int64_t length = -1) {
    const auto n = static_cast<std::uint32_t>(length < 0 ? chunks.size() + 4 : length);
    return Cat({Tag("RIFF"), LittleEndian(n), Tag(form), chunks});
}

TEST(FileBytes, RiffChunksArePaddedToAnEvenLength) {
    // "LIST" of 3 bytes and its padding byte, then "data" at offset 24.
    const Bytes chunks = Cat(
        {Tag("LIST"), LittleEndian(3), {1, 2, 3, 0}, Tag("data"), LittleEndian(2), {0x4D, 0x54}});
    struct Case {
        const char* what;
        Bytes file;
        std::optional<ChunkRange> data; // nullopt: no data chunk; the form must be there
    } cases[] = {
        {"padded chunk before the data", Riff("RMID", chunks), ChunkRange{24, 2, 34}},
        {"the form's length cuts the data", Riff("RMID", chunks, 4 + 12 + 8 + 1),
         ChunkRange{24, 2, 33}},
        {"the form ends in the padding", Riff("RMID", chunks, 4 + 11), std::nullopt},
        {"no data chunk", Riff("RMID", Cat({Tag("LIST"), LittleEndian(0)})), std::nullopt},
    };
    for (const Case& c : cases) {
        const auto riff = RiffForm(c.file, "RMID");
        ASSERT_TRUE(riff.has_value()) << c.what;
        const auto data = FindRiffChunk(c.file, *riff, "data");
        ASSERT_EQ(data.has_value(), c.data.has_value()) << c.what;
        if (data) {
            EXPECT_EQ(data->At, c.data->At) << c.what;
            EXPECT_EQ(data->End, c.data->End) << c.what;
        }
    }
    const ChunkRange list = *ChunkAt(chunks, 0, ByteOrder::LittleEndian);
    EXPECT_EQ(NextRiffChunk(list, chunks.size()), 12u);
    EXPECT_EQ(NextRiffChunk(list, 11), 11u); // the padding byte lies past the form
    EXPECT_FALSE(RiffForm(Riff("WAVE", chunks), "RMID"));
    EXPECT_FALSE(RiffForm(Cat({Tag("RIFF"), LittleEndian(4), {'R', 'M', 'I'}}), "RMID"));
}

} // namespace
} // namespace kadrel::test
