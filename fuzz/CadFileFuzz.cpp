// The CAD fuzz target: STEP and IGES text through the kit's isolated reader, and anything else through
// the kit's decoding of the reader's answer.
//
// In:  bytes. A first line of a STEP or IGES file (kit/mesh/CadProcess.h) makes them that file, read with
//      readMeshFile: the reader program parses and tessellates it apart, so that Open CASCADE's crashes on
//      damaged files end that process only, and its answer is decoded here. Other bytes are decoded
//      directly as an answer (kit/mesh/CadStream.h).
// Out: nothing; aborts unless the result is parts whose triangles index their points, or an InputError.

#include "kit/InputError.h"
#include "kit/mesh/CadProcess.h"
#include "kit/mesh/CadStream.h"
#include "kit/mesh/MeshFile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

void checkParts(const std::vector<kvhlr::MeshPart>& parts) {
    for (const kvhlr::MeshPart& part : parts)
        for (const Kv::KvTriangleList& face : part.faces)
            for (const auto& t : face)
                for (int k = 0; k < 3; ++k)
                    if (t[k] >= part.points.size())
                        std::abort();
}

std::vector<kvhlr::MeshPart> readAsFile(const std::string& text, kvhlr::CadType type) {
    std::string path = (std::filesystem::temp_directory_path() / "kvhlr-cad-fuzz-XXXXXX").string() +
                       std::string(type == kvhlr::CadType::Step ? ".step" : ".igs");
    const int fd = mkstemps(path.data(), type == kvhlr::CadType::Step ? 5 : 4);
    if (fd < 0)
        std::abort();
    close(fd);
    std::ofstream(path, std::ios::binary) << text;
    struct Remove {
        const std::string& path;
        ~Remove() { unlink(path.c_str()); }
    } remove{path};
    return kvhlr::readMeshFile(path, false, [](double) {});
}

std::vector<kvhlr::MeshPart> readAsAnswer(const std::string& bytes) {
    std::size_t at = 0;
    const kvhlr::CadStreamSource source = [&](void* to, std::size_t size) {
        if (size > bytes.size() - at)
            return false;
        std::memcpy(to, bytes.data() + at, size);
        at += size;
        return true;
    };
    return kvhlr::readCadStream(source, "answer", [](double) {}, [](const std::string&) {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const kvhlr::CadType type = kvhlr::cadTypeOfFirstLine(bytes.substr(0, bytes.find('\n')));
    try {
        checkParts(type == kvhlr::CadType::None ? readAsAnswer(bytes) : readAsFile(bytes, type));
    } catch (const kvhlr::InputError&) {
    }
    return 0;
}
