#pragma once

// The command line of kvhlr.

#include "kit/CameraFit.h"
#include "kit/DrawingFile.h"

#include <optional>
#include <ostream>
#include <string>

namespace kvhlr {

struct Options {
    std::string input; // empty with --demo
    bool demo = false;
    std::string output;
    OutputFormat format = OutputFormat::Svg;

    std::string view = "iso";
    UpAxis upAxis = UpAxis::Y;
    std::optional<double> perspectiveFov;
    std::optional<ON_3dPoint> eye;
    std::optional<ON_3dPoint> target;
    std::optional<ON_3dVector> up;
    std::string cameraFile;

    bool hidden = false;
    bool silhouettes = true;
    bool sharp = true;
    double sharpAngle = 135.0;
    HiddenDashes dashes = HiddenDashes::Style;
    // The library's exact hiding (on) or its plain arithmetic (--hide-test specified).
    bool exactHiding = true;

    bool bodies = false;
    bool separateFaces = false;
    int threads = 0; // 0: all processors

    bool quiet = false;
    bool forceProgress = false;
};

// Parses the arguments. Returns nothing when the help was asked for (it is written to `helpOut`);
// throws InputError, with the offending option as subject, for a command line that cannot be run.
std::optional<Options> parseOptions(int argc, const char* const* argv, std::ostream& helpOut);

// The output name used when -o is not given: the input with its extension replaced by .svg, or
// demo.svg for the demo.
std::string defaultOutputPath(const std::string& input, bool demo);

} // namespace kvhlr
