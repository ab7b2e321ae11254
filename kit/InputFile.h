#pragma once

// Files a user names, checked before they are parsed so that a missing file, a loop of
// symbolic links or a directory is reported as such and not as a parse failure.

#include <string>

namespace kvhlr {

// Throws InputError naming `path` when it cannot be opened as a file: missing, behind a loop of
// symbolic links or a folder that may not be searched, a directory, or unreadable. `kind` names what
// was expected ("mesh file").
void checkReadableFile(const std::string& path, const std::string& kind);

} // namespace kvhlr
