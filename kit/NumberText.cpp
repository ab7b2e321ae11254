#include "kit/NumberText.h"

#include <cctype>
#include <charconv>
#ifdef __EMSCRIPTEN__
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#endif

// The WebAssembly build's C++ library has no floating-point from_chars or to_chars: there the same texts
// are made with the C library's strtod and snprintf, which round correctly, so that the browser writes
// its files byte for byte as kvhlr does.

namespace kvhlr {
namespace {

// `text` without the spaces around it and a plus sign before it: from_chars takes no plus sign; "+-3"
// keeps its plus and is refused.
std::pair<const char*, const char*> trimmed(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    while (first != last && std::isspace(static_cast<unsigned char>(*first)))
        ++first;
    while (last != first && std::isspace(static_cast<unsigned char>(last[-1])))
        --last;
    if (last - first > 1 && first[0] == '+' && first[1] != '-')
        ++first;
    return {first, last};
}

} // namespace

template <class Number> std::optional<Number> parseNumber(const std::string& text) {
    const auto [first, last] = trimmed(text);
    Number value{};
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last)
        return std::nullopt;
    return value;
}

#ifdef __EMSCRIPTEN__

template <> std::optional<double> parseNumber<double>(const std::string& text) {
    const auto [first, last] = trimmed(text);
    const std::string number(first, last);
    // strtod also reads hexadecimal numbers, which from_chars refuses, and spaces before the number.
    if (number.empty() || number.find_first_of("xX") != std::string::npos ||
        std::isspace(static_cast<unsigned char>(number[0])))
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size() || errno == ERANGE)
        return std::nullopt;
    return value;
}

template std::optional<int> parseNumber<int>(const std::string& text);

void appendExact(std::string& out, double value) {
    // The fewest significant digits that read back as `value`: printf rounds to the nearest, so the
    // first precision that reads back holds them.
    char scientific[40];
    for (int precision = 0; precision <= 17; ++precision) {
        std::snprintf(scientific, sizeof scientific, "%.*e", precision, value);
        if (std::strtod(scientific, nullptr) == value)
            break;
    }
    // "-d.ddde+XX": the digits and the exponent.
    const char* p = scientific;
    std::string sign, digits;
    if (*p == '-')
        sign = *p++;
    for (; *p != 'e'; ++p)
        if (*p != '.')
            digits += *p;
    const int exponent = std::atoi(p + 1);
    const int n = static_cast<int>(digits.size());
    // Fixed notation where it is not longer than scientific, as to_chars chooses.
    const int fixedLength = exponent >= n - 1 ? exponent + 1 : exponent >= 0 ? n + 1 : n + 1 - exponent;
    const int scientificLength = static_cast<int>(std::strlen(scientific)) - static_cast<int>(sign.size());
    if (fixedLength > scientificLength) {
        out += scientific;
        return;
    }
    out += sign;
    if (exponent >= n - 1)
        out += digits + std::string(static_cast<std::size_t>(exponent - n + 1), '0');
    else if (exponent >= 0)
        out += digits.substr(0, static_cast<std::size_t>(exponent + 1)) + "." +
               digits.substr(static_cast<std::size_t>(exponent + 1));
    else
        out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
}

void appendRounded(std::string& out, double value, int digits) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.*g", digits, value);
    out += buffer;
}

#else

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

#endif

} // namespace kvhlr
