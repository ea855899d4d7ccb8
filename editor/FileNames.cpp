#include "editor/FileNames.h"

#include "util/Utf8.h"

#include <cstdint>

namespace kadrel {

namespace {

constexpr char16_t EscapeBase = 0xDC00;

} // namespace

QString FileNameText(const std::string& bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = Utf8SequenceLength(std::string_view(bytes).substr(i));
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
