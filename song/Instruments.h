#pragma once

#include <cstdint>
#include <string>

namespace kadrel {

inline constexpr int InstrumentCount = 128;

// Text k of the instrument list: k on three digits, " - " and the General MIDI name as Kadrel
// spells it ("000 - Piano 1" ... "127 - Gunshot"). k must be 0..127.
const std::string& InstrumentText(int k);

} // namespace kadrel
