#include "kit/AtomicFile.h"

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

// Refuses a target that the rename could never put in place.
void checkTarget(const std::string& path) {
    const std::filesystem::path target(path);
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
std::string createTemporary(const std::string& path) {
    const std::filesystem::path target(path);
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

AtomicFile::AtomicFile(std::string path) : m_path(std::move(path)) {
    checkTarget(m_path);
    m_temporaryPath = createTemporary(m_path);
    m_stream.open(m_temporaryPath, std::ios::binary | std::ios::trunc);
    if (!m_stream) {
        std::remove(m_temporaryPath.c_str());
        throw InputError(m_path, "cannot write the output file");
    }
}

AtomicFile::~AtomicFile() {
    if (!m_committed) {
        m_stream.close();
        std::remove(m_temporaryPath.c_str());
    }
}

void AtomicFile::commit() {
    m_stream.flush();
    m_stream.close();
    if (m_stream.fail())
        throw InputError(m_path, "writing the output file failed: " + errorText(errno));
    if (const int error = syncToDisk(m_temporaryPath))
        throw InputError(m_path, "writing the output file failed: " + errorText(error));
    if (chmod(m_temporaryPath.c_str(), newFileMode()) != 0 ||
        std::rename(m_temporaryPath.c_str(), m_path.c_str()) != 0)
        throw InputError(m_path, "cannot put the output file in place: " + errorText(errno));
    m_committed = true;
}

} // namespace kvhlr
