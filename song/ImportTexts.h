#pragma once

#include "midi/SmfReader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kadrel {

// A count with its thousands set apart by blanks, as French writes them: 1 204, 1 000 000.
std::string GroupedNumber(std::uint64_t value);

// The text of the box shown when the tolerant reader refuses a file: what is wrong, in French,
// and the offset of the byte at fault (counted from 0, as the listing counts them).
std::string ImportRefusalText(SmfRefusal reason, std::size_t offset);

// A count and its noun, the singular for 0 and 1 as French has it: "1 204 vélocités".
std::string Counted(std::uint64_t count, const char* singular, const char* plural);

// The text of the box after an import where the reader left something out: the rows and notes
// made, then what was left out and where, a line each (the first ten, then how many more).
std::string ImportSummaryText(std::size_t rows, std::size_t notes,
                              const std::vector<SmfDrop>& unread);

} // namespace kadrel
