#pragma once

// Number text for the output formats.

#include <string>

namespace kvhlr {

// The shortest text that reads back as exactly `value` (finite values only).
void appendExact(std::string& out, double value);

// `value` with at most `digits` significant digits, without trailing zeros.
void appendRounded(std::string& out, double value, int digits);

} // namespace kvhlr
