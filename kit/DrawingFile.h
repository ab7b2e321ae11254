#pragma once

// Drawings as files: the format that a file name's extension asks for, and the drawing written in it.

#include "kit/AtomicFile.h"
#include "kit/Drawing.h"
#include "kit/SvgWriter.h"

#include <ostream>
#include <string>

namespace kvhlr {

enum class OutputFormat { Svg, Dxf, Json };

// .svg, .dxf or .json, in any case. Throws InputError naming `path` for any other extension.
OutputFormat formatOf(const std::string& path);

void writeDrawing(std::ostream& out, const Drawing& drawing, OutputFormat format,
                  HiddenDashes dashes = HiddenDashes::Style);

// Writes the drawing to `path` in the format its extension asks for, as a whole or not at all
// (AtomicFile). Throws InputError naming `path` when it cannot be written.
void saveDrawing(const Drawing& drawing, const std::string& path, HiddenDashes dashes = HiddenDashes::Style);

} // namespace kvhlr
