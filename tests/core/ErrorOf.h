#pragma once

#include "util/Error.h"

#include <functional>
#include <string>

namespace kadrel::test {

// The text of the Error that action throws, or "" when it throws none.
inline std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

} // namespace kadrel::test
