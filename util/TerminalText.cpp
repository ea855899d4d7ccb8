#include "util/TerminalText.h"

#include "util/Error.h"

#include <cstdint>

namespace kadrel {

namespace {

void AppendHexEscape(std::string& out, std::uint8_t byte) {
    constexpr char digits[] = "0123456789ABCDEF";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

// The length of the well-formed UTF-8 sequence at the start of text, 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
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
