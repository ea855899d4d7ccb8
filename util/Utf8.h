#pragma once

#include <cstddef>
#include <string_view>

namespace kadrel {

// The length of the well-formed UTF-8 sequence at the start of text (1 for an ASCII byte), 0
// when there is none there: no overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t Utf8SequenceLength(std::string_view text);

// True when the whole of text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

} // namespace kadrel
