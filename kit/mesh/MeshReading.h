#pragma once

// Pieces shared by the mesh readers: a file's bytes mapped into memory and the check of a vertex read in
// single precision. They share a large file's work among threads with kit/WorkSharing.h.

#include <cstddef>
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

} // namespace kvhlr
