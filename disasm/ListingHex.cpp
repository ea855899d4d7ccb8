#include "disasm/ListingHex.h"

namespace kadrel {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::optional<std::vector<std::uint8_t>> HexColumnBytes(std::string_view listing) {
    std::vector<std::uint8_t> bytes;
    if (!listing.empty() && !listing.ends_with("\r\n"))
        return std::nullopt;
    while (!listing.empty()) {
        const std::size_t end = listing.find("\r\n");
        const std::string_view line = listing.substr(0, end);
        listing.remove_prefix(end + 2);
        std::size_t at = 0;
        int count = 0;
        while (count < 6 && at + 2 <= line.size() && HexDigit(line[at]) >= 0 &&
               HexDigit(line[at + 1]) >= 0 && (count == 0 || line[at - 1] == ' ')) {
            bytes.push_back(
                static_cast<std::uint8_t>(HexDigit(line[at]) * 16 + HexDigit(line[at + 1])));
            ++count;
            at += 3;
        }
        if (count == 0)
            continue;
        if (line.size() <= 18)
            return std::nullopt;
        for (std::size_t i = at - 1; i < 18; ++i)
            if (line[i] != ' ')
                return std::nullopt;
    }
    return bytes;
}

} // namespace kadrel
