#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kadrel {

// Reads a listing's hex column back: the bytes of the hex groups of all lines, in order, so that
// a check can tell that a listing shows every byte of its source once. A line holds a group
// when it begins with two upper-case hex digits; the group (at most six bytes) must then be
// padded with blanks to the 18th column and followed by its explanation. nullopt when a line
// breaks those rules or the listing does not end with CR LF.
std::optional<std::vector<std::uint8_t>> HexColumnBytes(std::string_view listing);

} // namespace kadrel
