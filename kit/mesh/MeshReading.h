#pragma once

// Pieces shared by the mesh readers: a file's bytes mapped into memory, the check of a vertex read in
// single precision, and the sharing of a large file's work among threads.

#include <cstddef>
#include <functional>
#include <string>

namespace kvhlr {

// A file's bytes, mapped read-only for the reader's lifetime. Throws InputError naming `path` when the
// file cannot be opened or mapped.
class MappedFile {
public:
    explicit MappedFile(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const char* data() const { return m_data; }
    std::size_t size() const { return m_size; }

private:
    const char* m_data = nullptr;
    std::size_t m_size = 0;
};

// Throws InputError naming `path` when a vertex read in single precision is not finite: NaN in the
// file, or a number beyond single precision (written out or as infinity). `where` starts the reason
// ("line 12: "), or is empty.
void checkSinglePrecisionVertex(float x, float y, float z, const std::string& path, const std::string& where);

// How many threads share `work` items: `asked` when it is not 0 (tests and benchmarks choose), otherwise
// one for every `perThread` items up to the machine's cores, and at least one. Small files are read
// often (batches, tests), and starting threads would cost them more than it saves.
unsigned threadsFor(unsigned asked, std::size_t work, std::size_t perThread);

// Runs work(0) to work(count - 1) at the same time, work(0) on the calling thread and each other on a
// thread of its own. Once all have returned, rethrows the exception of the lowest k whose work threw, so
// that the first problem in the file is the one reported.
void runInParallel(unsigned count, const std::function<void(unsigned)>& work);

} // namespace kvhlr
