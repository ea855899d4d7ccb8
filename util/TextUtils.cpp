#include "util/TextUtils.h"

#include <cstdlib>
#include <unistd.h>

namespace kadrel {

namespace {

// 1-based position of the first occurrence of t in s, 0 when there is none (an empty t never
// occurs).
std::int32_t FirstOccurrence(const std::string& s, const std::string& t) {
    if (t.empty())
        return 0;
    const auto p = s.find(t);
    return p == std::string::npos ? 0 : static_cast<std::int32_t>(p) + 1;
}

std::int32_t Length(const std::string& s) {
    return static_cast<std::int32_t>(s.size());
}

// Drops the first word and the blanks after it.
std::string DropFirstWord(const std::string& t) {
    const std::int32_t p = FirstOccurrence(t, std::string(1, WordSeparator));
    if (p == 0)
        return "";
    return TrimSep(SubStr(t, p + 1, Length(t)));
}

} // namespace

std::string SubStr(const std::string& S, std::int32_t First, std::int32_t Last) {
    const std::int32_t n = Length(S);
    if (First < 1 || First > n || Last > n || S.empty())
        return "";
    const std::int64_t count = std::int64_t{Last} - First + 1;
    if (count <= 0)
        return "";
    return S.substr(static_cast<std::size_t>(First - 1), static_cast<std::size_t>(count));
}

std::string TrimSep(const std::string& S) {
    const auto first = S.find_first_not_of(WordSeparator);
    if (first == std::string::npos)
        return "";
    const auto last = S.find_last_not_of(WordSeparator);
    return S.substr(first, last - first + 1);
}

std::int32_t WordCount(const std::string& S) {
    std::string t = TrimSep(S);
    std::int32_t n = 0;
    while (!t.empty()) {
        t = DropFirstWord(t);
        ++n;
    }
    return n;
}

std::string NthWord(std::int32_t N, const std::string& S) {
    if (N <= 0 || N > WordCount(S))
        return "";
    std::string t = TrimSep(S);
    for (std::int32_t i = 1; i < N; ++i)
        t = DropFirstWord(t);
    t += WordSeparator;
    const std::int32_t p = FirstOccurrence(t, std::string(1, WordSeparator));
    return TrimSep(SubStr(t, 1, p));
}

std::string ReplaceAll(const std::string& S, const std::string& Find, const std::string& Repl) {
    if (Find.empty())
        return S;
    std::string t = S;
    if (Repl.find(Find) != std::string::npos) {
        // Searching again from the start would find the replacement itself for ever; replace
        // left to right in one pass instead.
        std::string out;
        std::size_t from = 0;
        for (auto p = t.find(Find); p != std::string::npos; p = t.find(Find, from)) {
            out.append(t, from, p - from);
            out += Repl;
            from = p + Find.size();
        }
        out.append(t, from, std::string::npos);
        return out;
    }
    for (auto p = t.find(Find); p != std::string::npos; p = t.find(Find))
        t.replace(p, Find.size(), Repl);
    return t;
}

std::string ProgramFolder() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0)
        return "./";
    path.resize(static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

long double IntegerPower(long double Base, std::int32_t Exponent) {
    // |INT32_MIN| does not fit an int32, so the magnitude is taken in 64 bits.
    std::uint64_t e =
        Exponent < 0 ? std::uint64_t(-std::int64_t{Exponent}) : std::uint64_t(Exponent);
    long double result = 1.0L;
    long double x = Base;
    while (e != 0) {
        if (e & 1u)
            result *= x;
        x *= x;
        e >>= 1;
    }
    return Exponent < 0 ? 1.0L / result : result;
}

} // namespace kadrel
