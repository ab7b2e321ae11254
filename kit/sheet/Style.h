#pragma once

// Line styles: the pen (width and dash pattern in millimetres on paper, colour) of each kind of line
// and of the sheet's frame and title block.
//
// In:  a preset's name, a style file (JSON), and settings of single kinds ("hidden=0.25:3,1.5").
// Out: the pens that the sheet layout gives its layers.

#include "kit/drawing/Drawing.h"
#include "kit/sheet/Page.h"

#include <array>
#include <string>
#include <vector>

namespace kvhlr {

struct Style {
    std::array<Pen, kLayerCount> lines; // in the order of layers()
    Pen title;                // the frame and the title block
    Pen cuttingPlane;         // a section's cutting-plane line (its ends and arrows: the section's pen)

    const Pen& penOf(int kind) const;
    const Pen& penOf(const Layer& layer) const;
};

// "classic" (the default: the look kvhlr always had), "drafting" (every visible line one thick
// pen, hidden lines thin and dashed, as drafting standards draw them) and "illustration" (classic, with
// hidden lines the lighter and thinner the more surfaces lie in front of them: pens hidden-1, hidden-2
// and hidden-deeper, for drawings with occlusion levels). Elsewhere the levels' pens are the hidden
// lines' own.
const std::vector<std::string>& styleNames();

// A preset by name. Throws InputError naming the parameter "style" for an unknown one. Tangent edges
// are drawn thin and continuous (classic 0.18 mm, drafting 0.25 mm).
Style namedStyle(const std::string& name);

// Tangent edges drawn with the hidden lines' pen (dashed), as some drawing offices show them.
void penTangentEdgesAsHidden(Style& style);

// The names a setting may give: a kind's layer id ("hidden" sets the pens of every level too),
// "visible" for every visible edge (not tangent edges, nor a section's hatching and outline),
// "cutting-plane" or "title".
const std::vector<std::string>& styleTargets();

// Applies "TARGET=WIDTH[:DASHES][:#RRGGBB]": the width in mm, then optionally the dash pattern as
// on,off,... lengths in mm (an even count, each from 0.05 to 1000) or "solid", and a colour (a word
// or #-text that is not #rrggbb is refused as a colour). Throws InputError naming the parameter "line"
// for anything else.
void applyLineSetting(Style& style, const std::string& setting);

// A style file: {"base": "drafting", "lines": {"hidden": {"width": 0.25, "dashes": [3, 1.5],
// "color": "#404040"}, "visible": {"width": 0.7}}}. "base" (default classic) names the preset that
// the entries change; every key is optional. Throws InputError naming `path` for a file that cannot be
// read or holds anything else.
Style readStyleFile(const std::string& path);

// The same from the file's text, for a style given otherwise (Python's dict); errors name `subject`.
Style parseStyle(const std::string& text, const std::string& subject);

} // namespace kvhlr
