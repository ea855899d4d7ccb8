#pragma once

#include <cstdint>
#include <span>

namespace kadrel {

class ListingWriter;

// The checked walk: the source as a Standard MIDI File, one line per field, up to and including
// the line that ends the walk (at the first byte that it does not expect, the end of the file or
// the logical end). Throws ListingWriteFailed when the writer's sink refuses a block.
//
// Fields cut short by the end of the source show only the bytes that exist; the bytes missing
// from a field count as 0 in the value that the line shows. The next end test then stops the
// walk with "Unexpected end of file at offset #" and the size.
void WalkListing(std::span<const std::uint8_t> source, ListingWriter& out);

} // namespace kadrel
