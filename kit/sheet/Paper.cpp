#include "kit/sheet/Paper.h"

#include "kit/InputError.h"
#include "kit/NumberText.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace kvhlr {
namespace {

struct NamedPaper {
    const char* name;
    PaperSize size;
};

const NamedPaper kPapers[] = {
    {"A4", {210.0, 297.0}},   {"A3", {297.0, 420.0}},     {"A2", {420.0, 594.0}},
    {"A1", {594.0, 841.0}},   {"A0", {841.0, 1189.0}},    {"letter", {215.9, 279.4}},
    {"tabloid", {279.4, 431.8}},
};

struct NamedUnit {
    const char* name;
    double mm;
};

const NamedUnit kUnits[] = {{"mm", 1.0}, {"cm", 10.0}, {"m", 1000.0}, {"in", 25.4}, {"ft", 304.8}};

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

const std::vector<std::string>& paperNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const NamedPaper& paper : kPapers)
            list.emplace_back(paper.name);
        return list;
    }();
    return names;
}

PaperSize paperNamed(const std::string& name) {
    for (const NamedPaper& paper : kPapers)
        if (lowerCase(name) == lowerCase(paper.name))
            return paper.size;
    throw InputError::ofParameter("paper", "unknown paper '" + name + "': name A4, A3, A2, A1, A0, letter or tabloid");
}

double unitNamed(const std::string& name) {
    for (const NamedUnit& unit : kUnits)
        if (lowerCase(name) == unit.name)
            return unit.mm;
    throw InputError::ofParameter("units", "unknown unit '" + name + "': name mm, cm, m, in or ft");
}

double parseScale(const std::string& text) {
    const std::size_t colon = text.find(':');
    const std::optional<double> page = parseNumber<double>(text.substr(0, colon));
    const std::optional<double> model =
        colon == std::string::npos ? 1.0 : parseNumber<double>(text.substr(colon + 1));
    const double scale = page && model ? *page / *model : 0.0;
    if (!(scale >= kSmallestScale && scale <= kLargestScale))
        throw InputError::ofParameter("scale", "expected a scale from " + scaleText(kSmallestScale) + " to " +
                                        scaleText(kLargestScale) + ", such as 1:2, 2:1 or 0.5, got '" + text + "'");
    return scale;
}

std::string scaleText(double scale) {
    const double ratio = scale >= 1.0 ? scale : 1.0 / scale;
    std::string number;
    if (ratio < 100.0)
        appendRounded(number, ratio, 3);
    else
        number = std::to_string(std::llround(ratio));
    return scale >= 1.0 ? number + ":1" : "1:" + number;
}

std::optional<double> largestSeriesScale(double upper, const std::function<bool(double)>& fits) {
    for (int exponent = static_cast<int>(std::ceil(std::log10(upper))); exponent >= -9; --exponent)
        for (double mantissa : {5.0, 2.0, 1.0}) {
            const double scale = mantissa * std::pow(10.0, exponent);
            if (scale <= upper && fits(scale))
                return scale;
        }
    return std::nullopt;
}

} // namespace kvhlr
