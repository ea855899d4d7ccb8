#include "song/Song.h"

#include "util/Error.h"

#include <charconv>

namespace kadrel {

std::int32_t DecimalValue(const std::string& text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+')
        ++first;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last)
        throw Error("'" + text + "' is not a valid integer value");
    return value;
}

} // namespace kadrel
