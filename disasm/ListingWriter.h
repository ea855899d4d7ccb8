#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace kadrel {

// Lookup tables of the line formatter: every byte as two upper-case hex digits, and 0..255 in
// decimal (four characters copied at once, of which `length` count).
namespace listing_tables {

struct SmallNumber {
    char digits[4];
    std::uint8_t length;
};

constexpr std::array<std::array<char, 2>, 256> MakeHexDigits() {
    constexpr char digits[] = "0123456789ABCDEF";
    std::array<std::array<char, 2>, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[b] = {digits[b >> 4], digits[b & 15]};
    return table;
}

constexpr std::array<SmallNumber, 256> MakeSmallNumbers() {
    std::array<SmallNumber, 256> table{};
    for (int v = 0; v < 256; ++v) {
        SmallNumber& n = table[v];
        if (v >= 100)
            n.digits[n.length++] = static_cast<char>('0' + v / 100);
        if (v >= 10)
            n.digits[n.length++] = static_cast<char>('0' + v / 10 % 10);
        n.digits[n.length++] = static_cast<char>('0' + v % 10);
    }
    return table;
}

inline constexpr auto HexDigits = MakeHexDigits();
inline constexpr auto SmallNumbers = MakeSmallNumbers();

} // namespace listing_tables

// Where the bytes of a listing go. Write returns false when they could not be stored.
class ListingSink {
public:
    virtual ~ListingSink() = default;
    virtual bool Write(const char* bytes, std::size_t count) = 0;
};

// A sink that keeps the whole listing in memory.
class StringListingSink : public ListingSink {
public:
    bool Write(const char* bytes, std::size_t count) override {
        text.append(bytes, count);
        return true;
    }
    std::string text;
};

// Thrown by ListingWriter when its sink refuses a block.
struct ListingWriteFailed {};

// Width of the hex-group column: shorter groups are padded with blanks to it, longer ones are not.
inline constexpr int HexGroupWidth = 18;

// Builds listing lines in a large buffer and hands it to the sink in big blocks. A listing is
// about thirty times the size of its source, so per-line writes, flushes or allocations would
// cost more than the walk itself.
//
// A line is made of parts (Group, Text, Number) closed by EndLine. The parts of one line other
// than LongText must stay below Slack / 2 bytes in all; EndLine leaves at least Slack bytes of
// room for the next line, so the parts write without checks.
class ListingWriter {
public:
    static constexpr std::size_t Slack = 4096;

    // blockSize: how many bytes are gathered before they go to the sink.
    explicit ListingWriter(ListingSink& sink, std::size_t blockSize = std::size_t{1} << 20);
    ListingWriter(const ListingWriter&) = delete;
    ListingWriter& operator=(const ListingWriter&) = delete;

    // The hex group of count bytes (0 to 8), padded to HexGroupWidth.
    void Group(const std::uint8_t* bytes, int count) {
        char* p = cur_;
        for (int i = 0; i < count; ++i) {
            std::memcpy(p, listing_tables::HexDigits[bytes[i]].data(), 2);
            p[2] = ' ';
            p += 3;
        }
        if (count > 0)
            --p; // no blank after the last pair
        char* const padded = cur_ + HexGroupWidth;
        if (p < padded) {
            std::memset(p, ' ', static_cast<std::size_t>(padded - p));
            p = padded;
        }
        cur_ = p;
    }

    // A bounded text (see Slack).
    void Text(std::string_view text) {
        std::memcpy(cur_, text.data(), text.size());
        cur_ += text.size();
    }

    // A text of any length (a file name).
    void LongText(std::string_view text);

    // The value in decimal, without leading zeros.
    void Number(std::uint64_t value) {
        if (value < 256) {
            const auto& small = listing_tables::SmallNumbers[value];
            std::memcpy(cur_, small.digits, 4);
            cur_ += small.length;
            return;
        }
        WideNumber(value);
    }

    // A whole line prepared beforehand (CR LF included).
    void Line(std::string_view line) {
        Text(line);
        AfterLine();
    }

    void EndLine() {
        cur_[0] = '\r';
        cur_[1] = '\n';
        cur_ += 2;
        AfterLine();
    }

    void BlankLine() { EndLine(); }

    // Hands everything gathered to the sink. Throws ListingWriteFailed when it refuses.
    void Flush();

private:
    void AfterLine() {
        if (cur_ >= flushAt_)
            Flush();
    }
    void WideNumber(std::uint64_t value);

    ListingSink& sink_;
    std::unique_ptr<char[]> buffer_;
    char* cur_;
    char* flushAt_;
};

} // namespace kadrel
