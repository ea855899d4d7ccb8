#pragma once

#include <cstdint>
#include <string>

namespace kadrel {

// Small functions on byte strings. Positions are 1-based; out-of-range arguments give "".

// Separator of the word functions: the blank.
inline constexpr char WordSeparator = ' ';

// Characters First to Last of S, both included; "" when either is outside S or Last < First.
std::string SubStr(const std::string& S, std::int32_t First, std::int32_t Last);

// S without leading and trailing blanks; a string of blanks only gives "".
std::string TrimSep(const std::string& S);

// Number of blank-separated words in S.
std::int32_t WordCount(const std::string& S);

// Word N of S, counted from 1, or "".
std::string NthWord(std::int32_t N, const std::string& S);

// S with every occurrence of Find replaced by Repl; an empty Find leaves S unchanged. Each pass
// searches again from the start, so Repl must not contain Find.
std::string ReplaceAll(const std::string& S, const std::string& Find, const std::string& Repl);

// The running executable's folder, ending with "/".
std::string ProgramFolder();

// Base raised to Exponent by repeated squaring; Exponent 0 gives 1.
long double IntegerPower(long double Base, std::int32_t Exponent);

} // namespace kadrel
