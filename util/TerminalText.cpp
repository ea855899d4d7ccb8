#include "util/TerminalText.h"

#include "util/Error.h"
#include "util/Utf8.h"

#include <cstdint>

namespace kadrel {

namespace {

void AppendHexEscape(std::string& out, std::uint8_t byte) {
    constexpr char digits[] = "0123456789ABCDEF";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

} // namespace

std::string TerminalText(std::string_view text, bool keepLineFeeds) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (byte >= 0x80) {
            const std::size_t length = Utf8SequenceLength(text.substr(i));
            // U+0080..U+009F, written C2 80..C2 9F, are the C1 controls.
            if (length == 0 || (byte == 0xC2 && static_cast<std::uint8_t>(text[i + 1]) < 0xA0)) {
                for (std::size_t k = 0; k < (length == 0 ? 1 : length); ++k)
                    AppendHexEscape(out, static_cast<std::uint8_t>(text[i + k]));
                i += length == 0 ? 1 : length;
                continue;
            }
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        if (byte == '\n' && keepLineFeeds)
            out += '\n';
        else if (byte == '\n')
            out += "\\n";
        else if (byte == '\r')
            out += "\\r";
        else if (byte == '\t')
            out += "\\t";
        else if (byte < 0x20 || byte == 0x7F)
            AppendHexEscape(out, byte);
        else
            out += static_cast<char>(byte);
        ++i;
    }
    return out;
}

std::string TerminalMessage(const std::exception& error) {
    const std::string_view text = error.what();
    const auto* named = dynamic_cast<const Error*>(&error);
    if (named == nullptr || named->NameAt() == Error::NoName ||
        named->NameAt() + named->NameSize() > text.size())
        return TerminalText(text, true);
    return TerminalText(text.substr(0, named->NameAt()), true) +
           TerminalText(text.substr(named->NameAt(), named->NameSize())) +
           TerminalText(text.substr(named->NameAt() + named->NameSize()), true);
}

} // namespace kadrel
