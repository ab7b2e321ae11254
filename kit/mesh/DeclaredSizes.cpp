#include "kit/mesh/DeclaredSizes.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

namespace kvhlr {
namespace {

namespace fs = std::filesystem;

// Byte counts saturate instead of wrapping: a count near 2^64 must still read as too large.
using Bytes = std::uint64_t;
constexpr Bytes kAll = std::numeric_limits<Bytes>::max();

Bytes times(Bytes a, Bytes b) {
    Bytes product = 0;
    return __builtin_mul_overflow(a, b, &product) ? kAll : product;
}

Bytes plus(Bytes a, Bytes b) {
    return a > kAll - b ? kAll : a + b;
}

// Headers are short; a header that does not end within this many bytes is left to the import library.
constexpr std::size_t kHeadBytes = 64 * 1024;

// In text, every number takes at least one digit and one separator, but the last may end the file.
Bytes textBytes(Bytes values) {
    return values == 0 ? 0 : times(values, 2) - 1;
}

// Where reading `in`, a stream over `head`, has got to; at the end of the head the stream reports no
// position.
Bytes offsetIn(std::istream& in, const std::string& head) {
    return in.eof() ? head.size() : static_cast<Bytes>(in.tellg());
}

struct Count {
    std::string text; // as written, for the message
    Bytes value = 0;
    std::string singular, plural;
};

// What a header declares: its counts and the least size of a file holding them.
struct Promise {
    std::vector<Count> counts;
    Bytes leastBytes = 0;
};

// A count written as decimal digits; one too large for 64 bits saturates. Nothing for anything else.
std::optional<Count> countOf(const std::string& text, const std::string& singular,
                             const std::string& plural) {
    Count count{text, 0, singular, plural};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count.value);
    if (error == std::errc::invalid_argument || end != text.data() + text.size())
        return std::nullopt;
    if (error == std::errc::result_out_of_range)
        count.value = kAll;
    return count;
}

// Bytes of a binary PLY scalar; 0 for a type the import library would refuse anyway.
Bytes plyScalarBytes(const std::string& type) {
    static const std::map<std::string, Bytes> sizes{
        {"char", 1},  {"uchar", 1},   {"int8", 1},   {"uint8", 1},  {"short", 2}, {"ushort", 2},
        {"int16", 2}, {"uint16", 2},  {"int", 4},    {"uint", 4},   {"int32", 4}, {"uint32", 4},
        {"float", 4}, {"float32", 4}, {"double", 8}, {"float64", 8}};
    const auto found = sizes.find(type);
    return found == sizes.end() ? 0 : found->second;
}

// "ply", "format ascii|binary_* 1.0", then "element NAME COUNT" lines each followed by its
// "property TYPE NAME" or "property list COUNT_TYPE ITEM_TYPE NAME" lines, up to "end_header". A list
// may be empty, so it counts for its length alone.
std::optional<Promise> plyPromise(const std::string& head) {
    std::istringstream in(head);
    std::string line, word;
    if (!std::getline(in, line) || !(std::istringstream(line) >> word) || word != "ply")
        return std::nullopt;
    std::optional<bool> ascii;
    Promise promise;
    std::vector<Bytes> elementBytes; // per element of each declared kind: values in text, bytes in binary
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string keyword, first, second;
        words >> keyword >> first >> second;
        if (keyword == "format") {
            if (first != "ascii" && first.rfind("binary_", 0) != 0)
                return std::nullopt;
            ascii = first == "ascii";
        } else if (keyword == "element") {
            auto count = countOf(second, first, first == "vertex" ? "vertices" : first + "s");
            if (!count)
                return std::nullopt;
            promise.counts.push_back(std::move(*count));
            elementBytes.push_back(0);
        } else if (keyword == "property") {
            if (elementBytes.empty() || !ascii)
                return std::nullopt;
            elementBytes.back() += *ascii ? 1 : plyScalarBytes(first == "list" ? second : first);
        } else if (keyword == "end_header") {
            if (!ascii)
                return std::nullopt;
            Bytes body = 0;
            for (std::size_t e = 0; e < elementBytes.size(); ++e)
                body = plus(body, times(promise.counts[e].value, elementBytes[e]));
            promise.leastBytes = plus(offsetIn(in, head), *ascii ? textBytes(body) : body);
            return promise;
        }
    }
    return std::nullopt;
}

// "OFF", then the vertex, face and edge counts, comments ('#' to the end of the line) anywhere. A vertex
// is three numbers; a face at least its corner count.
std::optional<Promise> offPromise(const std::string& head) {
    std::istringstream in(head);
    std::vector<std::string> words;
    for (std::string word; words.size() < 3 && in >> word;) {
        if (word[0] == '#')
            std::getline(in, word);
        else
            words.push_back(word);
    }
    if (words.size() < 3 || words[0] != "OFF")
        return std::nullopt;
    auto vertices = countOf(words[1], "vertex", "vertices");
    auto faces = countOf(words[2], "face", "faces");
    if (!vertices || !faces)
        return std::nullopt;
    Promise promise;
    promise.leastBytes = plus(offsetIn(in, head), textBytes(plus(times(vertices->value, 3), faces->value)));
    promise.counts = {std::move(*vertices), std::move(*faces)};
    return promise;
}

// Whether `text` is `lower` but for the case of its letters.
bool sameIgnoringCase(std::string_view text, std::string_view lower) {
    return text.size() == lower.size() &&
           std::equal(lower.begin(), lower.end(), text.begin(),
                      [](char l, char t) { return l == std::tolower(static_cast<unsigned char>(t)); });
}

bool startsWithSolid(const std::string& head) {
    const std::size_t start = head.find_first_not_of(" \t\r\n");
    return start != std::string::npos && sameIgnoringCase(std::string_view(head).substr(start, 5), "solid");
}

// Binary STL: an 80-byte header, the triangle count as a little-endian uint32, then 50 bytes per
// triangle. Text STL starts with "solid", but so do the headers some programs write into binary files:
// a file of exactly the binary size is binary whatever it starts with.
std::optional<Promise> stlPromise(const std::string& head, Bytes fileSize) {
    if (head.size() < 84)
        return std::nullopt;
    Bytes triangles = 0;
    for (int i = 3; i >= 0; --i)
        triangles = triangles << 8 | static_cast<unsigned char>(head[80 + i]);
    const Bytes binarySize = 84 + 50 * triangles;
    if (binarySize != fileSize && startsWithSolid(head))
        return std::nullopt;
    return Promise{{{std::to_string(triangles), triangles, "triangle", "triangles"}}, binarySize};
}

std::string describe(const std::vector<Count>& counts) {
    std::string text;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (i > 0)
            text += i + 1 == counts.size() ? " and " : ", ";
        text += counts[i].text + " " + (counts[i].value == 1 ? counts[i].singular : counts[i].plural);
    }
    return text;
}

} // namespace

std::string declaredSizeProblem(const std::string& path) {
    std::error_code error;
    const Bytes size = fs::file_size(path, error);
    if (error)
        return "";
    std::ifstream in(path, std::ios::binary);
    std::string head(kHeadBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    std::optional<Promise> promise = plyPromise(head);
    if (!promise)
        promise = offPromise(head);
    if (!promise && sameIgnoringCase(fs::path(path).extension().string(), ".stl"))
        promise = stlPromise(head, size);
    if (!promise || promise->leastBytes <= size)
        return "";
    return "the header declares " + describe(promise->counts) + ", which cannot fit in " +
           std::to_string(size) + " bytes";
}

} // namespace kvhlr
