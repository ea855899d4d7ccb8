#pragma once

#include <QString>

#include <functional>
#include <string>

namespace kadrel {

// Hands the file `path` (its bytes, UTF-8 or not) to the desktop's launcher, which opens it
// with the program the user chose for its type, and does not wait for that program. Nothing
// the launcher says reaches the terminal. ended is called once, from the event loop, when the
// launcher is done: with false when there is no launcher or it reports that no program could
// open the file.
void LaunchDocument(const std::string& path, std::function<void(bool opened)> ended);

// What the user is told when no program could show a listing: where it was written.
QString UnshownListingText(const std::string& listing);

} // namespace kadrel
