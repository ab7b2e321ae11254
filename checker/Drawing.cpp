#include "checker/Drawing.h"

#include <cstdint>

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
    if (result.kind != kHidden && result.kind != kHatching && result.kind != kCentreLine &&
        !isVisibleKind(result.kind))
        throw InputError(path,
                         where + ": kind " + std::to_string(result.kind) + " is none of 0, 1, 2, 3, 5, 6, 7, 8, 9, 10");
    if (const auto level = entry.find("level"); level != entry.end()) {
        if (!level->is_number_integer() || level->get<long long>() < 0 || level->get<long long>() > INT32_MAX)
            throw InputError(path, where + ": \"level\" is not an integer of 0 or more");
        result.level = level->get<int>();
    }
    result.points.reserve(points.size());
    for (const json& point : points) {
        if (!point.is_array() || point.size() != 2)
            throw InputError(path, where + ": a point is not a pair of numbers");
        result.points.push_back({finiteNumber(point[0], where + ": a coordinate", path),
                                 finiteNumber(point[1], where + ": a coordinate", path)});
    }
    return result;
}

// The points of a curve entry ({"line", "centre", "radii", "rotation", "start", "end"}), at most a
// degree apart; its line's index in `index`.
std::vector<Vec2> curvePoints(const json& entry, std::size_t lineCount, std::size_t* index, const std::string& path) {
    const json& line = member(entry, "line", path);
    if (!line.is_number_unsigned() || line.get<std::size_t>() >= lineCount)
        throw InputError(path, "a curve's \"line\" is not the index of a line");
    *index = line.get<std::size_t>();
    const auto pair = [&](const char* key) {
        const json& values = member(entry, key, path);
        if (!values.is_array() || values.size() != 2)
            throw InputError(path, std::string("a curve's \"") + key + "\" must hold 2 numbers");
        return Vec2{finiteNumber(values[0], "a curve's number", path), finiteNumber(values[1], "a curve's number", path)};
    };
    const Vec2 centre = pair("centre"), radii = pair("radii");
    const double rotation = finiteNumber(member(entry, "rotation", path), "a curve's rotation", path);
    const double start = finiteNumber(member(entry, "start", path), "a curve's start", path);
    const double end = finiteNumber(member(entry, "end", path), "a curve's end", path);
    if (!(end > start && end - start <= 2 * M_PI + 1e-9))
        throw InputError(path, "a curve's angles must rise by at most a whole turn");
    const int steps = static_cast<int>(std::ceil((end - start) / (M_PI / 180)));
    std::vector<Vec2> points;
    for (int i = 0; i <= steps; ++i) {
        const double t = start + (end - start) * i / steps;
        const double x = radii.x * std::cos(t), y = radii.y * std::sin(t);
        points.push_back({centre.x + std::cos(rotation) * x - std::sin(rotation) * y,
                          centre.y + std::sin(rotation) * x + std::cos(rotation) * y});
    }
    return points;
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
    std::vector<Line> read;
    read.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        read.push_back(line(lines[i], i, path));
    if (const auto curves = document.find("curves"); curves != document.end()) {
        if (!curves->is_array())
            throw InputError(path, "\"curves\" is not an array");
        for (const json& entry : *curves) {
            std::size_t index;
            std::vector<Vec2> points = curvePoints(entry, read.size(), &index, path);
            read[index].points = std::move(points);
        }
    }
    for (Line& l : read)
        if (l.kind != kHatching && l.kind != kCentreLine)
            drawing.lines.push_back(std::move(l));
    return drawing;
}

} // namespace kvcheck
