#include "kit/mesh/MeshReading.h"

#include "kit/InputError.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kvhlr {

MappedFile::MappedFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0) {
        const int error = errno;
        if (fd >= 0)
            close(fd);
        throw InputError(path, std::string("cannot read: ") + std::strerror(error));
    }
    m_size = static_cast<std::size_t>(info.st_size);
    if (m_size > 0) {
        // Read once from start to end: populating the whole map up front costs less than a fault per page.
        void* map = mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        const int error = errno;
        if (map == MAP_FAILED) {
            close(fd);
            throw InputError(path, std::string("cannot read: ") + std::strerror(error));
        }
        m_data = static_cast<const char*>(map);
    }
    close(fd);
}

MappedFile::~MappedFile() {
    if (m_data != nullptr)
        munmap(const_cast<char*>(m_data), m_size);
}

void checkSinglePrecisionVertex(float x, float y, float z, const std::string& path, const std::string& where) {
    if (std::isnan(x) || std::isnan(y) || std::isnan(z))
        throw InputError(path, where + "a vertex coordinate is not a finite number");
    if (std::isinf(x) || std::isinf(y) || std::isinf(z)) {
        char largest[32];
        std::snprintf(largest, sizeof largest, "%.2g", static_cast<double>(std::numeric_limits<float>::max()));
        throw InputError(path, where + "a vertex coordinate is too large or infinite: coordinates are read in "
                                       "single precision, up to " + largest + " in size");
    }
}

} // namespace kvhlr
