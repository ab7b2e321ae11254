#include "kit/output/DrawingJson.h"

#include "kit/NumberText.h"
#include "kit/WorkSharing.h"
#include "kit/sheet/Page.h"

#include <algorithm>
#include <string>
#include <vector>

namespace kvhlr {
namespace {

void appendMatrix(std::string& text, const char* key, const ON_Xform& xform) {
    text += "  \"";
    text += key;
    text += "\": [";
    for (int i = 0; i < 16; ++i) {
        if (i > 0)
            text += ", ";
        appendExact(text, xform[i / 4][i % 4]);
    }
    text += "],\n";
}

// A hidden line's occlusion level, where levels were counted (StrokeLine::level).
void appendLevel(std::string& text, const KvHLR::StrokeLine& line) {
    if (line.level > 0)
        text += ", \"level\": " + std::to_string(line.level);
}

// Written line by line through one buffer, so that drawings of millions of points need no document tree.
void appendLine(std::string& text, const KvHLR::StrokeLine& line) {
    text += "    {\"kind\": ";
    text += std::to_string(line.kind);
    appendLevel(text, line);
    text += ", \"points\": [";
    for (std::size_t i = 0; i < line.points.size(); ++i) {
        text += i > 0 ? ", [" : "[";
        appendExact(text, line.points[i].x);
        text += ", ";
        appendExact(text, line.points[i].y);
        text += ']';
    }
    text += "]}";
}

// A source's index as the file writes it: -1 for none.
std::string indexText(std::uint32_t index) {
    return index == KvHLR::LineSource::kNone ? "-1" : std::to_string(index);
}

// A line's provenance keys, after its points; with `brep` its segments' B-rep edges too.
void appendSources(std::string& text, const KvHLR::StrokeLine& line, bool brep) {
    const std::uint32_t body = bodyOf(line);
    text += ", \"body\": " + indexText(body);
    if (!line.sources.empty() && line.sources.front().otherBody != KvHLR::LineSource::kNone)
        text += ", \"otherBody\": " + indexText(line.sources.front().otherBody);
    text += ", \"edges\": [";
    for (std::size_t i = 0; i < line.sources.size(); ++i) {
        const KvHLR::LineSource& source = line.sources[i];
        text += (i > 0 ? ", [" : "[") + indexText(source.edge[0]) + ", " + indexText(source.edge[1]) + "]";
    }
    text += ']';
    if (!brep)
        return;
    text += ", \"brepEdges\": [";
    for (std::size_t i = 0; i < line.sources.size(); ++i)
        text += (i > 0 ? ", " : "") + indexText(line.sources[i].brepEdge);
    text += ']';
}

void appendNames(std::string& text, const std::vector<std::string>& names) {
    text += ",\n  \"bodies\": [";
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += i > 0 ? ", \"" : "\"";
        // Part names hold letters, digits, '-', '_' and '.' only (partLayerNames): nothing to escape.
        text += names[i] + "\"";
    }
    text += ']';
}

void appendCurve(std::string& text, const DrawingCurve& curve) {
    text += "    {\"line\": " + std::to_string(curve.line) + ", \"centre\": [";
    appendExact(text, curve.centre.x);
    text += ", ";
    appendExact(text, curve.centre.y);
    text += "], \"radii\": [";
    appendExact(text, curve.majorRadius);
    text += ", ";
    appendExact(text, curve.minorRadius);
    text += "], \"rotation\": ";
    appendExact(text, curve.rotation);
    text += ", \"start\": ";
    appendExact(text, curve.start);
    text += ", \"end\": ";
    appendExact(text, curve.end);
    text += '}';
}

// The entry of line i of the drawing, with the separator before it.
void appendEntry(std::string& text, const Drawing& drawing, std::size_t i) {
    text += i > 0 ? ",\n" : "\n";
    appendLine(text, drawing.lines[i]);
    if (drawing.provenance) {
        text.pop_back(); // the line's closing brace
        appendSources(text, drawing.lines[i], drawing.brepEdges);
        text += '}';
    }
}

// The lines' entries, written a block of 4,096 lines at a time, the steps at which the progress was
// always told. The blocks of a run of 16 are formatted first, shared among the cores (the blocks taken in
// turn), each into a text of its own; then the calling thread writes the run's texts in order and alone
// tells the progress (which may throw), so that the file is the same on any number of threads. A thread
// is started for each run rather than each block: on a busy machine every start waited for a processor.
// A run's formatting takes some hundredths of a second, well within a stop's wait.
void writeLines(std::ostream& out, const Drawing& drawing, const std::function<void(double)>& progress) {
    constexpr std::size_t kLinesPerBlock = 4096;
    constexpr std::size_t kBlocksPerRun = 16;
    const std::size_t count = drawing.lines.size();
    const std::size_t blocks = (count + kLinesPerBlock - 1) / kLinesPerBlock;
    const unsigned threads =
        threadsFor(0, std::min(blocks, kBlocksPerRun), 2); // two blocks a thread at least
    std::vector<std::string> texts(kBlocksPerRun);
    StepProgress written(count, progress);
    for (std::size_t first = 0; first < blocks; first += kBlocksPerRun) {
        const std::size_t runBlocks = std::min(blocks - first, kBlocksPerRun);
        runInParallel(threads, [&](unsigned k) {
            for (std::size_t b = k; b < runBlocks; b += threads) {
                texts[b].clear();
                const std::size_t begin = (first + b) * kLinesPerBlock;
                for (std::size_t i = begin; i < std::min(count, begin + kLinesPerBlock); ++i)
                    appendEntry(texts[b], drawing, i);
            }
        });
        for (std::size_t b = 0; b < runBlocks; ++b) {
            out << texts[b];
            written.done(std::min(count - (first + b) * kLinesPerBlock, kLinesPerBlock));
        }
    }
}

} // namespace

void writeDrawingJson(std::ostream& out, const Drawing& drawing, const std::function<void(double)>& progress) {
    std::string text = "{\n  \"format\": \"kvhlr-drawing-1\",\n";
    appendMatrix(text, "modelView", drawing.camera.modelViewXform);
    appendMatrix(text, "projection", drawing.camera.projectionXform);
    text += "  \"near\": ";
    appendExact(text, drawing.camera.nearPlaneDepth);
    text += ",\n  \"far\": ";
    appendExact(text, drawing.camera.farPlaneDepth);
    text += ",\n  \"lines\": [";
    out << text;
    text.clear();
    writeLines(out, drawing, progress);
    text += drawing.lines.empty() ? "]" : "\n  ]";
    if (drawing.provenance)
        appendNames(text, drawing.partNames);
    // The lines that are true curves, after them; drawings without any end as they always did.
    if (!drawing.curves.empty()) {
        text += ",\n  \"curves\": [";
        for (std::size_t i = 0; i < drawing.curves.size(); ++i) {
            text += i > 0 ? ",\n" : "\n";
            appendCurve(text, drawing.curves[i]);
        }
        text += "\n  ]";
    }
    text += "\n}\n";
    out << text;
}

} // namespace kvhlr
