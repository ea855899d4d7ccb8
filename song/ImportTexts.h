#pragma once

#include "midi/SmfReader.h"
#include "song/TolerantImport.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kadrel {

// A count with its thousands set apart by blanks, as French writes them: 1 204, 1 000 000.
std::string GroupedNumber(std::uint64_t value);

// The text of the box shown when the tolerant reader refuses a file: what is wrong, in French,
// and the offset of the byte at fault (counted from 0, as the listing counts them).
std::string ImportRefusalText(SmfRefusal reason, std::size_t offset);

// The text of the box after an import that left something out: the rows and notes made, then
// a line for each kind of event not kept, with its count.
std::string ImportSummaryText(std::size_t rows, std::size_t notes, const DroppedCounts& dropped);

} // namespace kadrel
