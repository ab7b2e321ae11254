#include "kit/output/PdfWriter.h"

#include "kit/InputError.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <cmath>
#include <exception>
#include <memory>
#include <ostream>
#include <unordered_map>

namespace kvhlr {
namespace {

constexpr double kPointsPerMm = 72.0 / 25.4;

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

struct Rgb {
    double r, g, b;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

Rgb parseColor(const std::string& path, const PageLayer& layer) {
    const std::string& text = layer.pen.color;
    double channels[3];
    bool valid = text.size() == 7 && text[0] == '#';
    for (int i = 0; valid && i < 3; ++i) {
        const int high = hexDigit(text[1 + 2 * i]), low = hexDigit(text[2 + 2 * i]);
        valid = high >= 0 && low >= 0;
        channels[i] = (16 * high + low) / 255.0;
    }
    if (!valid)
        throw InputError(path, "the pen of layer \"" + layer.name + "\" has the colour \"" + text +
                                   "\", not one written #rrggbb");
    return {channels[0], channels[1], channels[2]};
}

// Where cairo's bytes go. Cairo writes a page's content when the page ends, compressing it: the
// longest part of the work, so the progress is told again with every piece written, and may stop the
// writing there. An exception must not pass through cairo's C frames: it is kept, cairo is told of a
// write error (after which it soon returns, writing nothing more), and it is thrown again once cairo
// has returned.
struct PdfOutput {
    std::ostream& out;
    StepProgress& progress;
    std::exception_ptr stop;

    void throwIfStopped() const {
        if (stop)
            std::rethrow_exception(stop);
    }
};

cairo_status_t writeToStream(void* closure, const unsigned char* data, unsigned int length) {
    auto& output = *static_cast<PdfOutput*>(closure);
    if (output.stop)
        return CAIRO_STATUS_WRITE_ERROR;
    try {
        output.progress.tellAgain();
    } catch (...) {
        output.stop = std::current_exception();
        return CAIRO_STATUS_WRITE_ERROR;
    }
    output.out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(length));
    return output.out ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

void setPen(cairo_t* cr, const Pen& pen, const Rgb& color) {
    cairo_set_source_rgb(cr, color.r, color.g, color.b);
    cairo_set_line_width(cr, pen.widthMm);
    cairo_set_dash(cr, pen.dashMm.data(), static_cast<int>(pen.dashMm.size()), 0.0);
    // Butt ends keep dashes as long as the pen says; solid lines get round ends like a plotter pen's.
    cairo_set_line_cap(cr, pen.dashMm.empty() ? CAIRO_LINE_CAP_ROUND : CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
}

// One path for the whole layer: a subpath per polyline, stroked at once. A polyline of one point
// becomes a dot.
void strokeLayer(cairo_t* cr, const PageLayer& layer, StepProgress& progress) {
    cairo_new_path(cr);
    for (const std::vector<PagePoint>& polyline : layer.polylines) {
        progress.done(1);
        if (polyline.empty())
            continue;
        cairo_move_to(cr, polyline.front().x, polyline.front().y);
        for (std::size_t i = polyline.size() > 1 ? 1 : 0; i < polyline.size(); ++i)
            cairo_line_to(cr, polyline[i].x, polyline[i].y);
    }
    // Curves as cairo's arcs (Bezier pieces within its tolerance, a tenth of a point), an ellipse the
    // unit circle's arc scaled to its radii; the pen's width is set by the page's own transform, at the
    // stroke.
    for (const PageCurve& curve : layer.curves) {
        progress.done(1);
        cairo_save(cr);
        cairo_translate(cr, curve.centre.x, curve.centre.y);
        cairo_rotate(cr, curve.rotation);
        cairo_scale(cr, curve.majorMm, curve.minorMm);
        cairo_new_sub_path(cr);
        cairo_arc(cr, 0.0, 0.0, 1.0, curve.start, curve.end);
        cairo_restore(cr);
    }
    cairo_stroke(cr);
}

// Text is set upright in the page's y-up space by flipping it back locally.
void showText(cairo_t* cr, const PageText& text, double capHeightPerSize) {
    cairo_save(cr);
    cairo_translate(cr, text.at.x, text.at.y);
    cairo_scale(cr, 1.0, -1.0);
    cairo_set_font_size(cr, text.heightMm / capHeightPerSize);
    cairo_move_to(cr, 0.0, 0.0);
    cairo_show_text(cr, text.text.c_str());
    cairo_restore(cr);
}

// Draws the page; cairo writes it when it is shown.
void drawPage(cairo_t* cr, const std::string& path, const Page& page, double capHeightPerSize, StepProgress& progress) {
    cairo_save(cr);
    cairo_translate(cr, 0.0, page.heightMm * kPointsPerMm);
    cairo_scale(cr, kPointsPerMm, -kPointsPerMm);
    std::unordered_map<std::string, std::size_t> layerByName;
    std::vector<Rgb> colors;
    colors.reserve(page.layers.size());
    for (const PageLayer& layer : page.layers) {
        layerByName.emplace(layer.name, colors.size());
        colors.push_back(parseColor(path, layer));
        setPen(cr, layer.pen, colors.back());
        strokeLayer(cr, layer, progress);
    }
    for (const PageText& text : page.texts) {
        const auto found = layerByName.find(text.layer);
        if (found == layerByName.end())
            setPen(cr, Pen{}, Rgb{0.0, 0.0, 0.0});
        else
            setPen(cr, page.layers[found->second].pen, colors[found->second]);
        showText(cr, text, capHeightPerSize);
    }
    cairo_restore(cr);
}

// The height of a capital letter per unit of font size, so that texts are as high as asked.
double capHeightPerSize(cairo_t* cr) {
    constexpr double size = 100.0;
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, "H", &extents);
    return extents.height > 0.0 ? extents.height / size : 0.7;
}

void throwOnError(const std::string& path, cairo_status_t status) {
    if (status != CAIRO_STATUS_SUCCESS)
        throw InputError(path, std::string("cannot write the PDF: ") + cairo_status_to_string(status));
}

} // namespace

void writePdf(std::ostream& out, const std::vector<Page>& pages, const std::string& name,
              const std::function<void(double)>& progress) {
    if (pages.empty())
        throw InputError(name, "a PDF needs at least one page");
    for (const Page& page : pages)
        if (!(page.widthMm > 0.0 && page.heightMm > 0.0 && std::isfinite(page.widthMm * page.heightMm)))
            throw InputError(name, "a page of the sheet has no area");

    std::size_t lines = 0;
    for (const Page& page : pages)
        lines += lineCount(page);
    StepProgress written(lines, progress);
    PdfOutput output{out, written, nullptr};
    Surface surface(cairo_pdf_surface_create_for_stream(writeToStream, &output, pages.front().widthMm * kPointsPerMm,
                                                        pages.front().heightMm * kPointsPerMm),
                    cairo_surface_destroy);
    Context cr(cairo_create(surface.get()), cairo_destroy);
    cairo_select_font_face(cr.get(), "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    const double capHeight = capHeightPerSize(cr.get());
    try {
        for (const Page& page : pages) {
            cairo_pdf_surface_set_size(surface.get(), page.widthMm * kPointsPerMm, page.heightMm * kPointsPerMm);
            drawPage(cr.get(), name, page, capHeight, written);
            cairo_show_page(cr.get());
            output.throwIfStopped();
            throwOnError(name, cairo_status(cr.get()));
        }
        cr.reset();
        cairo_surface_finish(surface.get());
        output.throwIfStopped();
        throwOnError(name, cairo_surface_status(surface.get()));
    } catch (...) {
        // Cairo finishes the document when it is destroyed: on a stop or an error it must write no more.
        if (!output.stop)
            output.stop = std::current_exception();
        throw;
    }
}

} // namespace kvhlr
