#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kadrel {

// The one error type of the file model, the output port and the listing: it carries the text
// that the user is shown, verbatim. The core never catches it; the GUI shows it in its error box.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& text) : std::runtime_error(text) {}

    // A text that names a file: before, the name as given, then after. The name's place is kept
    // so that a terminal can be shown the name with its control characters escaped.
    Error(std::string_view before, const std::string& fileName, std::string_view after = {})
        : std::runtime_error(std::string(before) + fileName + std::string(after)),
          nameAt_(before.size()), nameSize_(fileName.size()) {}

    // Where the file's name lies in what(); NoName when the text names none.
    static constexpr std::size_t NoName = std::string::npos;
    std::size_t NameAt() const { return nameAt_; }
    std::size_t NameSize() const { return nameSize_; }

private:
    std::size_t nameAt_ = NoName;
    std::size_t nameSize_ = 0;
};

} // namespace kadrel
