#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace kadrel {

// Text fit for a terminal: control characters (C0, DEL and C1) and bytes that are not UTF-8
// are written as escapes ("\x1B", "\n", "\t", "\r", "\xE9"), so that a file's name can neither
// drive the terminal nor split a message. Line feeds are kept when keepLineFeeds is set, for
// the messages that are several lines long.
std::string TerminalText(std::string_view text, bool keepLineFeeds = false);

// An error's text for a terminal: the file name that it carries fully escaped, the rest with
// its line feeds kept.
std::string TerminalMessage(const std::exception& error);

} // namespace kadrel
