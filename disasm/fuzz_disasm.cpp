// libFuzzer target: the listing walk over arbitrary bytes. Beyond what the sanitizers catch, it
// checks that every listing is made of whole lines, names no offset past the end of the source
// and ends on a line that says why the walk stopped.

#include "disasm/Disassembler.h"
#include "disasm/ListingLines.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view Heading = "Disassembling of fuzz.mid\r\nBy Kadrel\r\n\r\n";

constexpr std::string_view OffsetMark = "at offset #";

// Lines that may end a listing (the problems carry their offset); the signature line ends it
// when its denominator is too large.
constexpr std::string_view LastLines[] = {
    kadrel::listing_text::UnexpectedEnd,       kadrel::listing_text::UnexpectedByte,
    kadrel::listing_text::ParameterSize,       kadrel::listing_text::DeltaTimeTooLong,
    kadrel::listing_text::UnknownMetaEvent,    kadrel::listing_text::UnknownEvent,
    kadrel::listing_text::ByteAfterLogicalEnd, kadrel::listing_text::EndOfFile,
};

void Require(bool condition) {
    if (!condition)
        std::abort();
}

bool EndsTheListing(std::string_view line) {
    for (std::string_view last : LastLines)
        if (line.starts_with(last))
            return true;
    return line.size() > 18 && line.substr(18).starts_with("Signature: ");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string listing = kadrel::DisassembleToString({data, size}, "fuzz.mid");
    const std::string_view text(listing);
    Require(text.starts_with(Heading));
    Require(text.ends_with("\r\n"));

    const std::size_t lastStart = text.rfind("\r\n", text.size() - 3) + 2;
    const std::string_view last = text.substr(lastStart, text.size() - 2 - lastStart);
    Require(EndsTheListing(last));
    if (const auto mark = last.find(OffsetMark); mark != std::string_view::npos)
        Require(std::strtoull(std::string(last.substr(mark + OffsetMark.size())).c_str(), nullptr,
                              10) <= size);

    // Every field takes at least one byte of the source and a few lines at most.
    std::size_t lines = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string_view::npos;
         p = text.find("\r\n", p + 2))
        ++lines;
    Require(lines <= 2 * size + 16);
    return 0;
}
