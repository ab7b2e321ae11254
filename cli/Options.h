#pragma once

// The command line of kvhlr.
//
// In:  the arguments. Out: what to draw, from which models, how, and where each drawing goes.

#include "kit/InputError.h"
#include "kit/camera/CameraChoice.h"
#include "kit/drawing/DrawMesh.h"
#include "kit/mesh/MeshFile.h"
#include "kit/output/DrawingFile.h"
#include "kit/sheet/ArcFit.h"
#include "kit/sheet/Sheet.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kvhlr {

// Standard input as an input, standard output as the output.
inline const std::string kStandardStream = "-";

struct Options {
    std::vector<std::string> inputs; // empty with --demo
    bool demo = false;
    std::string inputFormat; // the type standard input is read as; empty: told by its content
    OutputFormat format = OutputFormat::Svg;
    // One path per model (the inputs in order, or the demo), or a single one when every model is a page
    // of one PDF.
    std::vector<std::string> outputs;

    // The camera fitted to the model, its view that of --view unless --views names several or --eye is
    // given; none with a camera file.
    CameraChoice camera;
    std::vector<std::string> views; // the views of one sheet; empty: the one view of --view or a camera
    std::string cameraFile;

    // What to draw and how: the kit's options (the progress hook is the run's to set).
    DrawOptions draw;
    HiddenDashes dashes = HiddenDashes::Style;
    std::optional<double> fitArcsMm; // --fit-arcs: the tolerance of arcs fitted to a page's polylines
    bool fittedCentreMarks = false;  // --centre-lines: a centre mark on each whole circle fitted
    bool plotterOrder = true;
    // Paper, scale, arrangement and style; the model's name, its unit and the date are the run's to fill
    // in.
    SheetOptions sheet;
    std::optional<double> unitMm; // --units: millimetres per unit of every model; default: each file's

    // Section views: the cutting plane as asked (placed on the model once it is read), and whether the
    // section's camera looks square at the cut (no --view, --eye or --camera).
    std::optional<SectionChoice> section;
    bool sectionFacing = false;
    bool sectionHidden = false; // --hidden given

    bool bodies = false;
    CadReading cad; // how CAD files are tessellated; the run sets where warnings go
    bool cadZUp = true; // CAD files are drawn z up, as CAD systems model them, unless --up-axis is given
    int threads = 0; // 0: all processors

    bool quiet = false;
    bool forceProgress = false;
    bool timings = false;

    // One for each option given that changes nothing in this run, saying what it would need.
    std::vector<std::string> warnings;
};

// Parses the arguments. Returns nothing when the help or the version was asked for (it is written to
// `helpOut`); throws InputError, with the offending option as subject, for a command line that cannot be
// run.
std::optional<Options> parseOptions(int argc, const char* const* argv, std::ostream& helpOut);

// The error with a parameter of the kit named as the option that gives it ("sharp_angle" as
// --sharp-angle); any other error as it is.
InputError asOption(const InputError& error);

// The name of the model read from `input` (the demo's when empty), for output names and title blocks.
std::string modelName(const std::string& input);

} // namespace kvhlr
