#include "kit/output/AtomicFile.h"

#include "kit/InputError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kvhlr {
namespace {

std::string errorText(int error) {
    return std::strerror(error);
}

// The file a symbolic link leads to (through every link on the way), or `path` itself: written through,
// the link stays a link and the file it names is replaced. Links are followed as far as they lead, so a
// link to a file not yet there creates it.
std::string linkTarget(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path target(path);
    std::error_code error;
    for (int links = 0; fs::is_symlink(target, error); ++links) {
        if (links == 40)
            throw InputError(path, "the output leads through too many symbolic links");
        const fs::path next = fs::read_symlink(target, error);
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target.string();
}

// A device or a pipe (-o /dev/null) cannot be replaced by a rename: it is written as it is.
bool isSpecialFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_type type = fs::status(path, error).type();
    return type == fs::file_type::character || type == fs::file_type::block || type == fs::file_type::fifo ||
           type == fs::file_type::socket;
}

// Removes the folders, innermost first, as far as they are empty.
void removeFolders(const std::vector<std::string>& folders) {
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        if (rmdir(folder->c_str()) != 0)
            return;
}

// Makes the missing folders of the target's folder and returns them, outermost first. Throws InputError
// naming `path` when one cannot be made, after removing those it made.
std::vector<std::string> makeFolders(const std::string& targetPath, const std::string& path) {
    namespace fs = std::filesystem;
    std::vector<std::string> missing;
    std::error_code error;
    for (fs::path folder = fs::path(targetPath).parent_path();
         !folder.empty() && !fs::exists(fs::symlink_status(folder, error)); folder = folder.parent_path())
        missing.insert(missing.begin(), folder.string());
    std::vector<std::string> made;
    for (const std::string& folder : missing) {
        if (mkdir(folder.c_str(), 0777) == 0) {
            made.push_back(folder);
        } else if (errno != EEXIST) { // "a/" and "a" name one folder
            const int reason = errno;
            removeFolders(made);
            throw InputError(path, "cannot make the output folder " + folder + ": " + errorText(reason));
        }
    }
    return made;
}

// Refuses a target that the rename could never put in place; `path` is the name the user gave.
void checkTarget(const std::string& targetPath, const std::string& path) {
    const std::filesystem::path target(targetPath);
    const std::filesystem::path directory = target.has_parent_path() ? target.parent_path() : ".";
    std::error_code error;
    if (!std::filesystem::is_directory(directory, error))
        throw InputError(path, "the output folder " + directory.string() + " does not exist");
    if (access(directory.c_str(), W_OK) != 0)
        throw InputError(path, "the output folder " + directory.string() + " is not writable: " + errorText(errno));
    if (std::filesystem::is_directory(target, error))
        throw InputError(path, "the output is a directory");
    const long longestName = pathconf(directory.c_str(), _PC_NAME_MAX);
    if (longestName > 0 && target.filename().string().size() > static_cast<std::size_t>(longestName))
        throw InputError(path, "the output's name is longer than the " + std::to_string(longestName) +
                                   " bytes a file name may have here");
}

// Hidden, next to the target (a rename within one directory is atomic), unique per run; named after
// the target where the name leaves room for that.
std::string createTemporary(const std::string& targetPath, const std::string& path) {
    const std::filesystem::path target(targetPath);
    const std::string suffix = ".kvhlr-XXXXXX";
    std::string name = "." + target.filename().string() + suffix;
    const long longestName = pathconf(target.has_parent_path() ? target.parent_path().c_str() : ".", _PC_NAME_MAX);
    if (longestName > 0 && name.size() > static_cast<std::size_t>(longestName))
        name = suffix;
    std::string full = (target.parent_path() / name).string();
    std::vector<char> buffer(full.begin(), full.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0)
        throw InputError(path, "cannot create the output file: " + errorText(errno));
    close(fd);
    return std::string(buffer.data());
}

mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// 0, or the error number of the failure.
int syncToDisk(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return errno;
    const int error = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return error;
}

} // namespace

AtomicFile::AtomicFile(std::string path, MissingFolders folders)
    : m_path(std::move(path)), m_target(linkTarget(m_path)) {
    if (isSpecialFile(m_target)) {
        m_stream.open(m_target, std::ios::binary | std::ios::trunc);
        if (!m_stream)
            throw InputError(m_path, "cannot write the output file");
        return;
    }
    if (folders == MissingFolders::Make)
        m_madeFolders = makeFolders(m_target, m_path);
    try {
        checkTarget(m_target, m_path);
        m_temporaryPath = createTemporary(m_target, m_path);
        m_stream.open(m_temporaryPath, std::ios::binary | std::ios::trunc);
        if (!m_stream) {
            std::remove(m_temporaryPath.c_str());
            throw InputError(m_path, "cannot write the output file");
        }
    } catch (...) {
        removeFolders(m_madeFolders);
        throw;
    }
}

AtomicFile::~AtomicFile() {
    if (!m_committed && !m_temporaryPath.empty()) {
        m_stream.close();
        std::remove(m_temporaryPath.c_str());
        removeFolders(m_madeFolders);
    }
}

void AtomicFile::commit() {
    m_stream.flush();
    m_stream.close();
    if (m_stream.fail())
        throw InputError(m_path, "writing the output file failed: " + errorText(errno));
    if (m_temporaryPath.empty()) {
        m_committed = true;
        return;
    }
    if (const int error = syncToDisk(m_temporaryPath))
        throw InputError(m_path, "writing the output file failed: " + errorText(error));
    if (chmod(m_temporaryPath.c_str(), newFileMode()) != 0 ||
        std::rename(m_temporaryPath.c_str(), m_target.c_str()) != 0)
        throw InputError(m_path, "cannot put the output file in place: " + errorText(errno));
    m_committed = true;
}

} // namespace kvhlr
