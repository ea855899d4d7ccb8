#pragma once

#include "util/CommandLineArgs.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace kadrel {

// Exit statuses of kadrel-disasm.
inline constexpr int DisasmOk = ExitOk; // the listing was written (it may end on a problem)
// The source could not be read, the listing would be the source, or it could not be created or
// written whole (nor the help text written).
inline constexpr int DisasmFailed = ExitFailed;
inline constexpr int DisasmWrongUsage = ExitWrongUsage; // wrong arguments

// The kadrel-disasm command: `kadrel-disasm [--all] SOURCE [LISTE]` writes the listing of
// SOURCE to LISTE, by default SOURCE followed by ".txt"; --all lists every byte of every chunk
// (the full walk) instead of stopping at the first unexpected one. args are the arguments after
// the program name, read as every Kadrel program reads them (util/CommandLineArgs.h); errors
// and the usage line go to err, file names in them escaped for the terminal; the help and the
// version to out.
int RunDisasmCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace kadrel
