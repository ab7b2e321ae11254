#include "kit/InputFile.h"

#include "kit/InputError.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace kvhlr {
namespace {

// System messages start with a capital; the kit's reasons do not.
InputError cannotOpen(const std::string& path, std::string why) {
    if (!why.empty())
        why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
    return InputError(path, "cannot open: " + why);
}

} // namespace

void checkReadableFile(const std::string& path, const std::string& kind) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        throw InputError(path, "no such file");
    if (error)
        throw cannotOpen(path, error.message());
    if (fs::is_directory(status))
        throw InputError(path, "is a directory, not a " + kind);
    if (!std::ifstream(path, std::ios::binary))
        throw cannotOpen(path, std::strerror(errno));
}

} // namespace kvhlr
