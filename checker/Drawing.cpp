#include "checker/Drawing.h"

#include "checker/InputError.h"

#include <nlohmann/json.hpp>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

namespace kvcheck {
namespace {

using nlohmann::json;

double finiteNumber(const json& value, const std::string& what, const std::string& path) {
    if (!value.is_number() || !std::isfinite(value.get<double>()))
        throw InputError(path, what + " is not a finite number");
    return value.get<double>();
}

const json& member(const json& object, const char* key, const std::string& path) {
    const auto it = object.find(key);
    if (it == object.end())
        throw InputError(path, std::string("no \"") + key + "\" entry");
    return *it;
}

Mat4 matrix(const json& document, const char* key, const std::string& path) {
    const json& values = member(document, key, path);
    if (!values.is_array() || values.size() != 16)
        throw InputError(path, std::string("\"") + key + "\" must hold 16 numbers");
    Mat4 m;
    for (std::size_t i = 0; i < 16; ++i)
        m.m[i] = finiteNumber(values[i], std::string("an entry of \"") + key + "\"", path);
    return m;
}

Line line(const json& entry, std::size_t index, const std::string& path) {
    const std::string where = "line " + std::to_string(index);
    if (!entry.is_object())
        throw InputError(path, where + " is not an object");
    const json& kind = member(entry, "kind", path);
    const json& points = member(entry, "points", path);
    if (!kind.is_number_integer())
        throw InputError(path, where + ": \"kind\" is not an integer");
    if (!points.is_array())
        throw InputError(path, where + ": \"points\" is not an array");
    Line result;
    result.kind = kind.get<int>();
    if (result.kind != kHidden && result.kind != kHatching && !isVisibleKind(result.kind))
        throw InputError(path,
                         where + ": kind " + std::to_string(result.kind) + " is none of 0, 1, 2, 3, 5, 6, 7, 8, 9");
    result.points.reserve(points.size());
    for (const json& point : points) {
        if (!point.is_array() || point.size() != 2)
            throw InputError(path, where + ": a point is not a pair of numbers");
        result.points.push_back({finiteNumber(point[0], where + ": a coordinate", path),
                                 finiteNumber(point[1], where + ": a coordinate", path)});
    }
    return result;
}

} // namespace

Drawing readDrawing(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw InputError(path, std::string("cannot open: ") + std::strerror(errno));
    const json document = json::parse(in, nullptr, false);
    if (document.is_discarded() || !document.is_object())
        throw InputError(path, "not a JSON drawing object");
    Drawing drawing;
    drawing.camera.modelView = matrix(document, "modelView", path);
    drawing.camera.projection = matrix(document, "projection", path);
    drawing.camera.nearDepth = finiteNumber(member(document, "near", path), "\"near\"", path);
    drawing.camera.farDepth = finiteNumber(member(document, "far", path), "\"far\"", path);
    const json& lines = member(document, "lines", path);
    if (!lines.is_array())
        throw InputError(path, "\"lines\" is not an array");
    drawing.lines.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (Line read = line(lines[i], i, path); read.kind != kHatching)
            drawing.lines.push_back(std::move(read));
    return drawing;
}

} // namespace kvcheck
