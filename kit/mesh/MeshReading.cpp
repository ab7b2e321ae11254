#include "kit/mesh/MeshReading.h"

#include "kit/InputError.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

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

unsigned threadsFor(unsigned asked, std::size_t work, std::size_t perThread) {
    if (asked != 0)
        return asked;
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::clamp<std::size_t>(work / perThread, 1, cores));
}

void runInParallel(unsigned count, const std::function<void(unsigned)>& work) {
    std::vector<std::exception_ptr> errors(count);
    auto run = [&](unsigned k) {
        try {
            work(k);
        } catch (...) {
            errors[k] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(count);
    unsigned started = 1;
    try {
        for (; started < count; ++started)
            threads.emplace_back(run, started);
    } catch (const std::system_error&) {
        // No more threads to be had: the calling thread does the rest of the work.
    }
    run(0);
    for (unsigned k = started; k < count; ++k)
        run(k);
    for (std::thread& thread : threads)
        thread.join();
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);
}

} // namespace kvhlr
