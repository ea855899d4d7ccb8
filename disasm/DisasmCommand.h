#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kadrel {

// Exit statuses of kadrel-disasm.
inline constexpr int DisasmOk = 0; // the listing was written (it may end on a problem)
// The source could not be read, the listing would be the source, or it could not be created or
// written whole (nor the help text written).
inline constexpr int DisasmFailed = 1;
inline constexpr int DisasmWrongUsage = 2; // wrong arguments

// The kadrel-disasm command: `kadrel-disasm [--all] SOURCE [LISTING]` writes the listing of
// SOURCE to LISTING, by default SOURCE followed by ".txt"; --all lists every byte of every chunk
// (the full walk) instead of stopping at the first unexpected one. args are the arguments after
// the program name; errors and the usage line go to err, the help text asked for with --help
// to out.
int RunDisasmCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kadrel
