#include "kit/sheet/Style.h"

#include "kit/InputError.h"
#include "kit/JsonFile.h"
#include "kit/NumberText.h"
#include "kit/drawing/Drawing.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <sstream>

namespace kvhlr {
namespace {

Pen pen(double widthMm, std::vector<double> dashMm = {}, const char* color = "#000000") {
    return {widthMm, std::move(dashMm), color};
}

// The look of the fitted 200 mm drawings kvhlr has always made.
Style classicStyle() {
    Style style;
    const Pen hidden = pen(0.23, {2.3, 1.15}, "#606060");
    style.lines = {hidden, hidden, hidden, hidden, pen(0.48), pen(0.35), pen(0.35), pen(0.35), pen(0.35),
                   pen(0.18), // tangent edges: thin
                   // Section views: hatching thin, the cut's outline heavier than any edge.
                   pen(0.18), pen(0.7),
                   pen(0.18, {8.0, 1.5, 1.5, 1.5})}; // centre lines: thin chain lines
    style.title = pen(0.35);
    style.cuttingPlane = pen(0.25, {8.0, 1.5, 1.5, 1.5});
    return style;
}

// One thick width for every visible line, the thin width for hidden ones, dashes 12 and gaps 3 line
// widths long.
Style draftingStyle() {
    Style style;
    const Pen hidden = pen(0.25, {3.0, 0.75});
    style.lines = {hidden, hidden, hidden, hidden, pen(0.5), pen(0.5), pen(0.5), pen(0.5), pen(0.5),
                   pen(0.25), // tangent edges: thin
                   // Section views: hatching thin, the cut's outline heavier than any edge.
                   pen(0.25), pen(0.7),
                   pen(0.25, {12.0, 3.0, 0.5, 3.0})}; // centre lines: thin chain lines
    style.title = pen(0.35);
    style.cuttingPlane = pen(0.25, {8.0, 1.5, 1.5, 1.5});
    return style;
}

// Classic, with the hidden lines of deeper levels lighter and thinner, their dashes as long.
Style illustrationStyle() {
    Style style = classicStyle();
    for (std::size_t i = 0; i < layers().size(); ++i) {
        const std::string id = layers()[i].id;
        if (id == "hidden-2")
            style.lines[i] = pen(0.18, {2.3, 1.15}, "#909090");
        else if (id == "hidden-deeper")
            style.lines[i] = pen(0.13, {2.3, 1.15}, "#c0c0c0");
    }
    return style;
}

} // namespace

void penTangentEdgesAsHidden(Style& style) {
    for (std::size_t i = 0; i < layers().size(); ++i)
        if (layers()[i].kind == VisibleTangent)
            style.lines[i] = style.penOf(Hidden);
}

namespace {

// "visible" sets the pens of the model's visible edges; tangent edges (thin whatever the visible lines
// are drawn with), a section's hatching and outline and the centre lines keep theirs.
bool isEdgeKind(int kind) {
    return kind != Hidden && kind != VisibleTangent && kind != Hatching && kind != SectionOutline &&
           kind != CentreLine;
}

// What a setting changes; what it leaves out stays as it was.
struct PenChange {
    std::optional<double> widthMm;
    std::optional<std::vector<double>> dashMm;
    std::optional<std::string> color;
};

void apply(Style& style, const std::string& target, const PenChange& change, const std::string& subject) {
    std::vector<Pen*> pens;
    if (target == "title")
        pens.push_back(&style.title);
    if (target == "cutting-plane")
        pens.push_back(&style.cuttingPlane);
    for (std::size_t i = 0; i < layers().size(); ++i)
        if (target == layers()[i].id || (target == "visible" && isEdgeKind(layers()[i].kind)) ||
            (target == "hidden" && layers()[i].kind == Hidden))
            pens.push_back(&style.lines[i]);
    if (pens.empty()) {
        std::string names;
        for (const std::string& name : styleTargets())
            names += (names.empty() ? "" : ", ") + name;
        throw InputError(subject, "unknown line '" + target + "': name one of " + names);
    }
    for (Pen* p : pens) {
        if (change.widthMm)
            p->widthMm = *change.widthMm;
        if (change.dashMm)
            p->dashMm = *change.dashMm;
        if (change.color)
            p->color = *change.color;
    }
}

double checkedWidth(double width, const std::string& subject) {
    if (!(width > 0.0 && width <= 100.0))
        throw InputError(subject, "a line width must lie above 0 and at most 100 mm");
    return width;
}

// Shorter dashes and gaps cannot be told apart on paper (they are finer than a thin pen is wide), and
// cut into real pieces (HiddenDashes::Segments) a large drawing's lines would become hundreds of millions.
constexpr double kShortestDashMm = 0.05;

std::vector<double> checkedDashes(std::vector<double> dashes, const std::string& subject) {
    bool valid = dashes.size() % 2 == 0;
    for (double length : dashes)
        valid = valid && length >= kShortestDashMm && length <= 1000.0;
    if (!valid)
        throw InputError(subject, "a dash pattern is an even count of lengths from 0.05 to 1000 mm (dash, gap, ...)");
    return dashes;
}

std::string checkedColor(const std::string& color, const std::string& subject) {
    bool valid = color.size() == 7 && color[0] == '#';
    for (std::size_t i = 1; valid && i < color.size(); ++i)
        valid = std::isxdigit(static_cast<unsigned char>(color[i])) != 0;
    if (!valid)
        throw InputError(subject, "a colour is written #rrggbb, not '" + color + "'");
    return color;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

PenChange settingChange(const std::string& value, const std::string& subject) {
    const std::vector<std::string> parts = split(value, ':');
    const std::optional<double> width = parseNumber<double>(parts[0]);
    if (!width)
        throw InputError(subject, "expected TARGET=WIDTH[:DASH,GAP...][:#RRGGBB], got a width of '" +
                                      parts[0] + "'");
    PenChange change;
    change.widthMm = checkedWidth(*width, subject);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        if (parts[i] == "solid") {
            change.dashMm = std::vector<double>();
        } else if (!parts[i].empty() && (parts[i][0] == '#' || std::isalpha(static_cast<unsigned char>(parts[i][0])))) {
            change.color = checkedColor(parts[i], subject);
        } else {
            std::vector<double> dashes;
            for (const std::string& length : split(parts[i], ','))
                dashes.push_back(parseNumber<double>(length).value_or(-1.0));
            change.dashMm = checkedDashes(dashes, subject);
        }
    }
    return change;
}

PenChange fileChange(const nlohmann::json& entry, const std::string& path) {
    if (!entry.is_object())
        throw InputError(path, "each entry of \"lines\" is an object with width, dashes and color");
    PenChange change;
    for (const auto& [key, value] : entry.items()) {
        if (key == "width" && value.is_number()) {
            change.widthMm = checkedWidth(value.get<double>(), path);
        } else if (key == "dashes" && value.is_array()) {
            std::vector<double> dashes;
            for (const auto& length : value)
                dashes.push_back(length.is_number() ? length.get<double>() : -1.0);
            change.dashMm = checkedDashes(dashes, path);
        } else if (key == "color" && value.is_string()) {
            change.color = checkedColor(value.get<std::string>(), path);
        } else if (key == "width" || key == "dashes" || key == "color") {
            throw InputError(path, "\"" + key + "\" must be " +
                                       (key == "width"    ? "a number (mm)"
                                        : key == "dashes" ? "a list of numbers (mm)"
                                                          : "a string \"#rrggbb\""));
        } else {
            throw InputError(path, "unexpected \"" + key + "\" in a line entry: give width (mm), dashes "
                                                           "(a list of mm) or color (\"#rrggbb\")");
        }
    }
    return change;
}

} // namespace

const Pen& Style::penOf(int kind) const {
    return penOf(layerOf(kind));
}

const Pen& Style::penOf(const Layer& layer) const {
    return lines[static_cast<std::size_t>(&layer - layers().data())];
}

const std::vector<std::string>& styleNames() {
    static const std::vector<std::string> names{"classic", "drafting", "illustration"};
    return names;
}

Style namedStyle(const std::string& name) {
    if (name == "classic")
        return classicStyle();
    if (name == "drafting")
        return draftingStyle();
    if (name == "illustration")
        return illustrationStyle();
    throw InputError::ofParameter("style", "unknown style '" + name +
                                               "': name classic, drafting, illustration or a style file");
}

const std::vector<std::string>& styleTargets() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list{"visible"};
        for (const Layer& layer : layers())
            list.emplace_back(layer.id);
        list.emplace_back("title");
        list.emplace_back("cutting-plane");
        return list;
    }();
    return names;
}

void applyLineSetting(Style& style, const std::string& setting) {
    const std::size_t equals = setting.find('=');
    if (equals == std::string::npos)
        throw InputError::ofParameter("line",
                                      "expected TARGET=WIDTH[:DASH,GAP...][:#RRGGBB], got '" + setting + "'");
    // The checks shared with style files name what they check; here that is the parameter.
    try {
        apply(style, setting.substr(0, equals), settingChange(setting.substr(equals + 1), ""), "");
    } catch (const InputError& error) {
        throw InputError::ofParameter("line", error.reason());
    }
}

namespace {

// The style a style file's object gives; `path` names the file (or the text's source) in the messages.
Style styleOf(const nlohmann::json& doc, const std::string& path) {
    Style style = classicStyle();
    for (const auto& [key, value] : doc.items()) {
        const bool preset = value.is_string() && std::find(styleNames().begin(), styleNames().end(),
                                                            value.get<std::string>()) != styleNames().end();
        if (key == "base" && preset) {
            style = namedStyle(value.get<std::string>());
        } else if (key == "base") {
            throw InputError(path, "\"base\" names a preset: classic or drafting");
        } else if (key != "lines" || !value.is_object()) {
            throw InputError(path, "unexpected \"" + key + "\": a style file holds \"base\" (a preset's "
                                                           "name) and \"lines\" (an object)");
        }
    }
    if (doc.contains("lines"))
        for (const auto& [target, entry] : doc["lines"].items())
            apply(style, target, fileChange(entry, path), path);
    return style;
}

} // namespace

Style readStyleFile(const std::string& path) {
    return styleOf(readJsonObject(path, "style file"), path);
}

Style parseStyle(const std::string& text, const std::string& path) {
    return styleOf(parseJsonObject(text, path, "style file"), path);
}

} // namespace kvhlr
