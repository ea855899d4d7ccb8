#pragma once

#include <cstdint>
#include <span>

namespace kadrel {

class ListingWriter;

// The full walk: the lines of the checked walk for everything that walk understands (a file
// that it lists to its end gets the same listing), and beyond it every event of every chunk:
// running status marked as such, controllers, pitch bends, pressures, sysex with its bytes,
// every meta event with its type name and text, chunks of other types shown and skipped, a
// RIFF RMID wrapper. Where an event cannot be read, a line says why and the rest of its chunk
// is shown as bytes. Every byte of the source appears in the hex column of exactly one line, in
// order, and no hex group holds more than six bytes. Throws ListingWriteFailed as the checked
// walk does.
void WalkFullListing(std::span<const std::uint8_t> source, ListingWriter& out);

} // namespace kadrel
