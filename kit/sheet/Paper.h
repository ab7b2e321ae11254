#pragma once

// The vocabulary of paper and scale: the paper sizes by name, the length units a model may be in, and
// drawing scales as a drawing gives them ("1:2") and as a sheet chooses them (1, 2 or 5 times a power of
// ten).
//
// In:  names and texts a user hands in; the largest scale a sheet's room allows.
// Out: paper sizes and units in millimetres; scales as page millimetres per true millimetre of the
//      model, and their text.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kvhlr {

struct PaperSize {
    double widthMm;  // portrait: the shorter side
    double heightMm;
};

// A4, A3, A2, A1, A0, letter, tabloid.
const std::vector<std::string>& paperNames();

// Throws InputError naming the parameter "paper" for an unknown name (matched without case).
PaperSize paperNamed(const std::string& name);

// mm, cm, m, in, ft (matched without case): millimetres per unit. Throws InputError naming the parameter
// "units" for any other name.
double unitNamed(const std::string& name);

// The scales a sheet may have, whether given or chosen to fit the paper: 1:1000000000 to 1000000000:1.
constexpr double kSmallestScale = 1e-9;
constexpr double kLargestScale = 1e9;

// "1:2" (half size), "2:1" or a plain factor ("0.5"): page millimetres per true millimetre. Throws
// InputError naming the parameter "scale" for anything else, or a scale outside the range above.
double parseScale(const std::string& text);

// "1:2", "2:1", "1:2.5", "1:2.7" (for 0.37), as a drawing's title block gives it: three significant
// digits, whole numbers from 100 on, never in exponent notation.
std::string scaleText(double scale);

// The largest scale of the series 1, 2, 5 x 10^n, from `upper` down to kSmallestScale, that `fits`;
// nothing when none does.
std::optional<double> largestSeriesScale(double upper, const std::function<bool(double)>& fits);

} // namespace kvhlr
