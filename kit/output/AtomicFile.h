#pragma once

// An output file that appears complete or not at all: everything is written to a temporary file in
// the target's directory, which replaces the target only on commit. A run that fails or is cancelled
// before then leaves the target as it was. A symbolic link is written through: the file it leads to is
// replaced and the link kept. A device or a pipe (/dev/null) is written directly, as it cannot be
// replaced. Missing folders of the target may be made; they go again with the temporary file.

#include <fstream>
#include <string>
#include <vector>

namespace kvhlr {

// What becomes of a target whose folder is missing: refused, or the folder made.
enum class MissingFolders { Refuse, Make };

class AtomicFile {
public:
    // Creates the temporary file, so that a target that cannot be written is found out before a long
    // run rather than after it, after making the target's missing folders if `folders` says so. Throws
    // InputError naming `path` when its directory is missing (and not to be made, or cannot be made) or
    // not writable, when it is a directory, when its name is too long, or when the file cannot be
    // created; the folders it made are removed again then. Errors name `path` as given, also when it is
    // a link.
    explicit AtomicFile(std::string path, MissingFolders folders = MissingFolders::Refuse);
    // Removes the temporary file unless it was committed, and then the folders made for it, as far as
    // they are empty.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::ostream& stream() { return m_stream; }
    // Empty for a device or a pipe, written directly.
    const std::string& temporaryPath() const { return m_temporaryPath; }
    // The folders made for the target, outermost first, each the parent of the next.
    const std::vector<std::string>& madeFolders() const { return m_madeFolders; }

    // Flushes the data to disk and renames the temporary file onto the target, with the permissions a
    // newly created file gets. Throws InputError naming the target when writing or renaming failed.
    void commit();

private:
    std::string m_path;
    std::string m_target; // where the links of m_path lead
    std::string m_temporaryPath;
    std::vector<std::string> m_madeFolders;
    std::ofstream m_stream;
    bool m_committed = false;
};

} // namespace kvhlr
