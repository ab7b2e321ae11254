#include "kit/NumberFormat.h"

#include <charconv>

namespace kvhlr {

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
