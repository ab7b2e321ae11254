#pragma once

// An output file that appears complete or not at all: everything is written to a temporary file in
// the target's directory, which replaces the target only on commit. A run that fails or is cancelled
// before then leaves the target as it was. A symbolic link is written through: the file it leads to is
// replaced and the link kept. A device or a pipe (/dev/null) is written directly, as it cannot be
// replaced.

#include <fstream>
#include <string>

namespace kvhlr {

class AtomicFile {
public:
    // Creates the temporary file, so that a target that cannot be written is found out before a long
    // run rather than after it. Throws InputError naming `path` when its directory is missing or not
    // writable, when it is a directory, when its name is too long, or when the file cannot be created.
    // Errors name `path` as given, also when it is a link.
    explicit AtomicFile(std::string path);
    // Removes the temporary file unless it was committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::ostream& stream() { return m_stream; }
    // Empty for a device or a pipe, written directly.
    const std::string& temporaryPath() const { return m_temporaryPath; }

    // Flushes the data to disk and renames the temporary file onto the target, with the permissions a
    // newly created file gets. Throws InputError naming the target when writing or renaming failed.
    void commit();

private:
    std::string m_path;
    std::string m_target; // where the links of m_path lead
    std::string m_temporaryPath;
    std::ofstream m_stream;
    bool m_committed = false;
};

} // namespace kvhlr
