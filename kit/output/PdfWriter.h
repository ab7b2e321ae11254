#pragma once

// PDF output: one PDF page per page of the sheet, of the page's paper size, its layers drawn in order
// with their pens and its texts (the title block) in a plain sans-serif font.

#include "kit/sheet/Page.h"

#include <ostream>
#include <string>
#include <vector>

namespace kvhlr {

// Writes the document to `out`. A text's height is that of its capital letters; texts go over the lines,
// in their layer's colour (black for a layer the page lacks). Throws InputError naming `name` when there
// are no pages, a page has no area, a pen's colour is not #rrggbb, cairo refuses a pen (a negative dash,
// or only zero dashes), or the stream fails. `progress` is told the share of the lines written, page by page.
void writePdf(std::ostream& out, const std::vector<Page>& pages, const std::string& name,
              const std::function<void(double)>& progress = {});

} // namespace kvhlr
