#pragma once

#include <stdexcept>
#include <string>

namespace kadrel {

// The one error type of the file model, the output port and the listing: it carries the text
// that the user is shown, verbatim. The core never catches it; the GUI shows it in its error box.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& text) : std::runtime_error(text) {}
};

} // namespace kadrel
