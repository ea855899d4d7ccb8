#include "disasm/ListingWriter.h"

#include "util/TextUtils.h"

#include <charconv>

namespace kadrel {

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
