#include "kit/NumberText.h"

#include <cctype>
#include <charconv>

namespace kvhlr {

template <class Number> std::optional<Number> parseNumber(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    while (first != last && std::isspace(static_cast<unsigned char>(*first)))
        ++first;
    while (last != first && std::isspace(static_cast<unsigned char>(last[-1])))
        --last;
    // from_chars takes no plus sign; "+-3" keeps its plus and is refused.
    if (last - first > 1 && first[0] == '+' && first[1] != '-')
        ++first;
    Number value{};
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

template std::optional<double> parseNumber<double>(const std::string& text);
template std::optional<int> parseNumber<int>(const std::string& text);

void appendExact(std::string& out, double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendRounded(std::string& out, double value, int digits) {
    char buffer[40];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    out.append(buffer, result.ptr);
}

} // namespace kvhlr
