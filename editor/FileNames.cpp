#include "editor/FileNames.h"

#include <cstdint>

namespace kadrel {

namespace {

constexpr char16_t EscapeBase = 0xDC00;

// The length of the well-formed UTF-8 sequence at bytes[i], 0 when there is none there.
std::size_t SequenceLength(const std::string& bytes, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(bytes[k]); };
    const std::uint8_t lead = at(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() - i < length || at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    return length;
}

} // namespace

QString FileNameText(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = SequenceLength(bytes, i);
        if (length == 0) {
            text += QChar(static_cast<char16_t>(EscapeBase + static_cast<std::uint8_t>(bytes[i])));
            ++i;
            continue;
        }
        text += QString::fromUtf8(bytes.data() + i, static_cast<qsizetype>(length));
        i += length;
    }
    return text;
}

std::string FileNameBytes(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        // A low surrogate that no high one comes before stands for a byte of the name.
        const bool paired = i > 0 && text[i - 1].isHighSurrogate();
        if (unit >= EscapeBase + 0x80 && unit <= EscapeBase + 0xFF && !paired) {
            bytes += static_cast<char>(unit - EscapeBase);
            continue;
        }
        qsizetype end = i + 1;
        if (text[i].isHighSurrogate() && end < text.size() && text[end].isLowSurrogate())
            ++end;
        bytes += text.mid(i, end - i).toStdString();
        i = end - 1;
    }
    return bytes;
}

QString ReadableFileName(const std::string& bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace kadrel
