#pragma once

#include <QString>

#include <string>

namespace kadrel {

// A file's name on Linux is bytes, not always UTF-8, while Qt's strings hold text. These carry
// a name's bytes through a QString without loss: a byte that is not part of well-formed UTF-8
// becomes the lone surrogate U+DC80..U+DCFF, which no text read from UTF-8 holds, and back.
QString FileNameText(const std::string& bytes);
std::string FileNameBytes(const QString& text);

// The name as a person reads it: what is not UTF-8 shown as U+FFFD.
QString ReadableFileName(const std::string& bytes);

} // namespace kadrel
