#pragma once

// Writes small glTF files with an embedded buffer, for tests that need node transforms or meshes with
// several primitives (formats like OBJ and STL have neither).

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kvhlrtest {

inline std::string base64(const std::string& bytes) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const auto byte = [&](std::size_t k) { return k < bytes.size() ? std::uint8_t(bytes[k]) : 0u; };
        const std::uint32_t chunk = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
        for (std::size_t k = 0; k < 4; ++k)
            out += i + k <= bytes.size() ? digits[(chunk >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

template <class T> void appendRaw(std::string& bytes, const std::vector<T>& values) {
    bytes.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

// One position accessor shared by every primitive; each primitive has its own uint16 index accessor.
// `nodes` is the JSON text of the node array; mesh 0 holds all primitives.
inline std::string gltf(const std::vector<float>& positions,
                        const std::vector<std::vector<std::uint16_t>>& primitives, const std::string& nodes) {
    std::string bytes;
    appendRaw(bytes, positions);
    std::string views = "{\"buffer\":0,\"byteOffset\":0,\"byteLength\":" + std::to_string(bytes.size()) + "}";
    std::string accessors = "{\"bufferView\":0,\"componentType\":5126,\"type\":\"VEC3\",\"count\":" +
                            std::to_string(positions.size() / 3) + "}";
    std::string primitiveText;
    for (std::size_t p = 0; p < primitives.size(); ++p) {
        std::vector<std::uint16_t> indices = primitives[p];
        const std::size_t offset = bytes.size();
        indices.resize((indices.size() + 1) / 2 * 2); // keep 4-byte alignment; the padding is not counted
        appendRaw(bytes, indices);
        views += ",{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
                 ",\"byteLength\":" + std::to_string(primitives[p].size() * 2) + "}";
        accessors +=
            ",{\"bufferView\":" + std::to_string(p + 1) +
            ",\"componentType\":5123,\"type\":\"SCALAR\",\"count\":" + std::to_string(primitives[p].size()) +
            "}";
        primitiveText += std::string(p > 0 ? "," : "") +
                         "{\"attributes\":{\"POSITION\":0},\"indices\":" + std::to_string(p + 1) + "}";
    }
    return "{\"asset\":{\"version\":\"2.0\"},\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":" + nodes +
           ",\"meshes\":[{\"primitives\":[" + primitiveText +
           "]}],\"buffers\":[{\"byteLength\":" + std::to_string(bytes.size()) +
           ",\"uri\":\"data:application/octet-stream;base64," + base64(bytes) + "\"}],\"bufferViews\":[" +
           views + "],\"accessors\":[" + accessors + "]}";
}

} // namespace kvhlrtest
