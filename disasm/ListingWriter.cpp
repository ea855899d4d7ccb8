#include "disasm/ListingWriter.h"

#include "util/TextUtils.h"

#include <charconv>

namespace kadrel {

std::string FormatLine(std::span<const std::uint8_t> bytes, std::string_view text) {
    std::string group;
    for (std::uint8_t b : bytes) {
        group += listing_tables::HexDigits[b][0];
        group += listing_tables::HexDigits[b][1];
        group += ' ';
    }
    group = TrimSep(group);
    if (group.size() < HexGroupWidth)
        group.resize(HexGroupWidth, ' ');
    group += text;
    group += "\r\n";
    return group;
}

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

ListingWriter::ListingWriter(ListingSink& sink, std::size_t blockSize)
    : sink_(sink), buffer_(new char[blockSize + Slack]), cur_(buffer_.get()),
      flushAt_(buffer_.get() + blockSize) {}

void ListingWriter::LongText(std::string_view text) {
    // What the text may take while leaving Slack / 2 for the rest of the line.
    const std::ptrdiff_t room = (flushAt_ + Slack / 2) - cur_;
    if (room >= 0 && text.size() <= static_cast<std::size_t>(room)) {
        Text(text);
        return;
    }
    // Longer than what is left: send what is gathered and the text itself straight away.
    Flush();
    if (!sink_.Write(text.data(), text.size()))
        throw ListingWriteFailed{};
}

void ListingWriter::WideNumber(std::uint64_t value) {
    cur_ = std::to_chars(cur_, cur_ + 20, value).ptr;
}

void ListingWriter::Flush() {
    char* const start = buffer_.get();
    const auto count = static_cast<std::size_t>(cur_ - start);
    cur_ = start;
    if (count > 0 && !sink_.Write(start, count))
        throw ListingWriteFailed{};
}

} // namespace kadrel
