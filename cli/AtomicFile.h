#pragma once

// An output file that appears complete or not at all: everything is written to a temporary file in
// the target's directory, which replaces the target only on commit. A run that fails or is cancelled
// before then leaves the target as it was.

#include <fstream>
#include <string>

namespace kvhlr {

class AtomicFile {
public:
    // Checks ahead of a long run that `path` can be written: its directory exists and is writable and
    // it is not a directory itself. Throws InputError naming `path` otherwise.
    static void checkTarget(const std::string& path);

    // Creates the temporary file. Throws InputError naming `path` when that is impossible.
    explicit AtomicFile(std::string path);
    // Removes the temporary file unless it was committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::ostream& stream() { return m_stream; }
    const std::string& temporaryPath() const { return m_temporaryPath; }

    // Flushes the data to disk and renames the temporary file onto the target, with the permissions a
    // newly created file gets. Throws InputError naming the target when writing or renaming failed.
    void commit();

private:
    std::string m_path;
    std::string m_temporaryPath;
    std::ofstream m_stream;
    bool m_committed = false;
};

} // namespace kvhlr
