#pragma once

// Number text, always in the C locale's form (a point before the decimals, whatever the user's locale):
// numbers read from options and settings, and numbers written for the output formats.

#include <optional>
#include <string>

namespace kvhlr {

// The number that the whole of `text` spells, spaces around it and a leading + allowed: "0.5", "-3",
// "1e3" as a double, "12" as an int. Nothing for an empty text, anything else in it, or a number
// beyond the type's range. A double may come out NaN or infinite ("nan", "inf"), for the caller to
// refuse where it must be finite. Defined for double and int.
template <class Number> std::optional<Number> parseNumber(const std::string& text);

// The shortest text that reads back as exactly `value` (finite values only).
void appendExact(std::string& out, double value);

// `value` with at most `digits` significant digits, without trailing zeros.
void appendRounded(std::string& out, double value, int digits);

} // namespace kvhlr
