#!/usr/bin/env python3
"""Plants one-line faults, one at a time, in a scratch copy of the sources and runs the test suite
against each, to see which faults the tests catch. A fault the suite lets through marks a gap in it.

    /usr/bin/python3 scripts/plant_faults.py [--work /tmp/faults] [--only NAME,...] [--ctest-args "-L 'Hlr|api'"]

The scratch copy is the committed tree (git worktree) with one build folder reused across faults, so
each fault costs an incremental rebuild and one ctest run; the suite must first pass without a fault.
Run it with the interpreter that has the tests' Python packages (numpy, pytest, ezdxf). Prints a
Markdown table: fault, stage, caught or not, and the first failing tests. A fault whose original text is not found stops the run:
the table below must follow the code."""
import argparse
import os
import subprocess
import sys

# (name, stage, file, original text, faulty text). Each original must occur exactly once.
FAULTS = [
    ("inside-one-side-tolerance", "hide test", "Hlr/HLRProjectedTriangle.cpp",
     "distance(0, x) >= -tol && distance(1, x)", "distance(0, x) >= tol && distance(1, x)"),
    ("plane-depth-tolerance-sign", "hide test", "Hlr/HLRProjectedTriangle.cpp",
     "ends.frontP = planeDepth(P.viewPosition) - tolZ < P.viewPosition.z;",
     "ends.frontP = planeDepth(P.viewPosition) + tolZ < P.viewPosition.z;"),
    ("depth-borrow-test", "hide test", "Hlr/HLRProjectedTriangle.cpp",
     "& kDepthBorrowBit) != 0;", "& kDepthBorrowBit) == 0;"),
    ("exact-shared-corner-grown", "exact hide test", "Hlr/HLROccluder.cpp",
     "sharedCorner[i] || sharedCorner[(i + 1) % 3] ? 0.0 : tol;", "sharedCorner[i] ? 0.0 : tol;"),
    ("exact-behind-sign", "exact hide test", "Hlr/HLROccluder.cpp",
     "(centreSide > 0.0 ? -1.0 : 1.0) / normalLength;", "(centreSide > 0.0 ? 1.0 : -1.0) / normalLength;"),
    ("exact-view-turn-never", "exact hide test", "Hlr/HLRViewTurn.cpp",
     "isEdgeOn(normal) && across > 0.0) {", "isEdgeOn(normal) && across < 0.0) {"),
    ("merge-start-takes-later", "intervals", "Hlr/HLRIntervals.cpp",
     "const double lo = std::min(x.from - x.fromTolerance, start - tolerance);",
     "const double lo = std::max(x.from - x.fromTolerance, start - tolerance);"),
    ("sharp-threshold-inclusive", "classification", "Hlr/HLRProjectedTriangleEdge.cpp",
     "return sharpThreshold(sharpEdgeAngle) > cosine;", "return sharpThreshold(sharpEdgeAngle) >= cosine;"),
    ("extraction-start-end", "extraction", "Hlr/HLRShortStrokeGroup.cpp",
     "interval.from == 0.0 ? start :", "interval.from <= 0.0001 ? start :"),
    ("inside-out-vote", "inside-out vote", "Hlr/HLRPolyAlgo.cpp", "return vote > 0;", "return vote >= 0;"),
    ("renewal-merge-reach", "renewal", "Hlr/HLRStrokeNetworkRenewer.cpp",
     "if (toEnd1 < 20 * t && toEnd1 < toEnd2)", "if (toEnd1 < 2 * t && toEnd1 < toEnd2)"),
    ("connector-turn-bound", "joining", "Hlr/HLRStrokeConnector.cpp",
     "double best = leftMost ? -TURN_BOUND : TURN_BOUND;", "double best = leftMost ? TURN_BOUND : -TURN_BOUND;"),
    ("tree-covers-border", "window-query tree", "WindowQuery/Node.h",
     "if (window.y0 <= this->first() && window.y1 >= this->last()) {",
     "if (window.y0 < this->first() && window.y1 >= this->last()) {"),
    ("tree-nearest-depth", "hide pass", "Hlr/HLRWindowQueryTraverser.cpp",
     "if ((*m_nearestDepths)[index] < m_farthestDepth) {", "if ((*m_nearestDepths)[index] < m_farthestDepth + 2) {"),
    ("block-end", "parallel build", "Hlr/HLRParallelLoop.h",
     "std::min(count, begin + blockSize));", "std::min(count, begin + blockSize - 1));"),
    ("grid-nearness-stop", "exact search grid", "WindowQuery/Grid.h",
     "if (m_filedNearness[k] < nearest) {", "if (m_filedNearness[k] <= nearest) {"),
    ("exact-joiner-merge", "exact joining", "Hlr/HLRExactStrokeJoiner.cpp",
     "constexpr double MERGE_DISTANCE = 20e-6;", "constexpr double MERGE_DISTANCE = 0.0;"),
    ("exact-joiner-vote", "exact joining", "Hlr/HLRExactStrokeJoiner.cpp",
     "    if (vote <= 0)\n        return false;", "    if (vote < 0)\n        return false;"),
    ("box-guard-bits", "packed boxes", "Hlr/HLRBoundingBox.h",
     "(o.m_maxCode - m_minCode)) & GUARD_MASK) == 0;", "(o.m_maxCode - m_minCode)) & GUARD_MASK) != 1;"),
    ("grid-margin", "packed boxes", "Hlr/HLRBoundingBox2D.cpp",
     "sm_dMargin = 0.002 * std::min(dx, dy);", "sm_dMargin = 0.0;"),
    ("progress-span", "progress", "Hlr/HLRProgressObservableProc.cpp",
     "m_span = m_parent != nullptr ? m_parent->m_span * m_weight : 1.0;",
     "m_span = m_parent != nullptr ? m_weight : 1.0;"),
    ("coarse-tolerance", "projected model", "Hlr/HLRProjectedModel.cpp",
     "sm_dCoarseTolerance3D = 0.01 * smallest3D;", "sm_dCoarseTolerance3D = 0.1 * smallest3D;"),
    ("renewal-tolerance", "post processor", "Hlr/HLRPostProcessor.cpp",
     "m_tolerance = std::min(world.width(), world.height()) * 1e-6;",
     "m_tolerance = std::min(world.width(), world.height()) * 1e-3;"),
    ("cleanup-parallel", "drawing cleanup", "api/DrawingCleanup.cpp",
     "constexpr double kParallelSine = 1e-3;", "constexpr double kParallelSine = 1e-1;"),
    ("camera-fill", "camera fit", "kit/camera/CameraFit.cpp",
     "(across > 0.0 ? across : gap) / request.fill, gap);", "(across > 0.0 ? across : gap), gap);"),
    ("mirror-winding", "mesh reading", "kit/mesh/MeshFile.cpp",
     "face.mIndices[flip ? 2 : 1], face.mIndices[flip ? 1 : 2]", "face.mIndices[1], face.mIndices[2]"),
    ("section-viewer-side", "section", "kit/drawing/SectionCut.cpp",
     "return facing > 0.0 ? n : ON_3dVector(-n.x, -n.y, -n.z);",
     "return facing < 0.0 ? n : ON_3dVector(-n.x, -n.y, -n.z);"),
    ("section-corner-on-plane-removed", "section", "kit/drawing/SectionCut.cpp",
     "removed += cutter.value(c) > 0.0 ? 1 : 0;", "removed += cutter.value(c) >= 0.0 ? 1 : 0;"),
    ("section-odd-ends-close", "section", "kit/drawing/SectionCut.cpp",
     "            if (next.empty()) {", "            if (next.size() != 1) {"),
    ("section-outline-drawn-twice", "section", "kit/drawing/SectionDrawing.cpp",
     "removeAlongOutline(drawing.lines, segments, 1e-5 * size, poll);",
     "removeAlongOutline(drawing.lines, segments, 0.0 * size, poll);"),
    ("section-hatch-closed-interval", "section", "kit/drawing/SectionDrawing.cpp",
     "static_cast<double>(k) * spacing < high; ++k)", "static_cast<double>(k) * spacing <= high; ++k)"),
    ("section-same-angle-for-neighbours", "section", "kit/drawing/SectionDrawing.cpp",
     "(body % 2 == 0 ? 0.0 : 90.0)", "(body % 2 == 0 ? 0.0 : 0.0)"),
    ("cutting-plane-line-beside", "section", "kit/drawing/Geometry.cpp", "    if (t0 > t1)\n", "    if (false)\n"),
    ("sheet-marks-take-no-room", "sheet", "kit/sheet/Sheet.cpp",
     "rooms[i] = rules.annotated ? roomOf", "rooms[i] = !rules.annotated ? roomOf"),
    ("sheet-section-over-a-view", "sheet", "kit/sheet/Sheet.cpp",
     "other->column == cell.column && other->row == cell.row;",
     "other->column == cell.column && other->row == cell.row && false;"),
    ("crossing-end-order", "intersection lines", "Hlr/HLRTriangleCrossing.cpp",
     "if (std::less<const Vertex*>()(own.corners[v], own.corners[u]))", "if (false)"),
    ("crossing-free-without-ray", "intersection lines", "Hlr/HLRCrossingFreeParts.cpp",
     "m_rayHit[p] < -tolerance;", "m_rayHit[p] < -tolerance || true;"),
    ("cad-edge-weld", "CAD reading", "kit/mesh/CadFile.cpp",
     "welded.join(sides[s].second[i], sides[0].second[i]);", "welded.join(sides[s].second[i], sides[s].second[i]);"),
    ("cad-seam-weld", "CAD reading", "kit/mesh/CadFile.cpp",
     "welded.join(sides[s].second[i], sides[0].second[i]);",
     "if (sides[s].first != sides[0].first) welded.join(sides[s].second[i], sides[0].second[i]);"),
    ("cad-smooth-merge", "CAD reading", "kit/mesh/CadFile.cpp",
     "smoothFaces.join(static_cast<std::size_t>(first), static_cast<std::size_t>(sides[1].first));",
     "smoothFaces.join(static_cast<std::size_t>(first), static_cast<std::size_t>(first));"),
    ("cad-outline-convexity", "CAD outlines", "kit/drawing/PartLines.cpp",
     ": concave > 0.0           ? VisibleConcaveSharp", ": concave < 0.0           ? VisibleConcaveSharp"),
    ("tangent-hidden-pieces", "output", "api/SilhouettePipeline.cpp",
     "? shown(criteria.showTangentEdge, 9) : std::nullopt;", "? shown(criteria.showTangentEdge, 9) : shown(true, 1);"),
    ("failed-output-keeps-folders", "output files", "kit/output/AtomicFile.cpp",
     "        std::remove(m_temporaryPath.c_str());\n        removeFolders(m_madeFolders);",
     "        std::remove(m_temporaryPath.c_str());"),
    ("stop-keeps-outer-folder", "stopping", "cli/Progress.cpp",
     "while (length >= g_stopFolderOuterLength && rmdir", "while (length > g_stopFolderOuterLength + 1 && rmdir"),
    ("curve-tolerance-wide", "true curves", "kit/drawing/Curves.cpp",
     "const double tolerance = 1.05 * part.deflection;", "const double tolerance = 10.5 * part.deflection;"),
    ("curve-mirror-angles", "true curves", "kit/drawing/Curves.cpp",
     "std::tie(start, end) = std::make_pair(-end, -start);", "std::tie(start, end) = std::make_pair(start, end);"),
    ("curve-hidden-along-visible", "true curves", "kit/drawing/Curves.cpp",
     "{ return overlap(v->curve, hidden.curve, slack); }", "{ return slack < 0.0 && overlap(v->curve, hidden.curve, slack); }"),
    ("svg-arc-sweep", "writers", "kit/output/SvgWriter.cpp", "text += \" 0,0 \";", "text += \" 0,1 \";"),
    ("dxf-arc-end", "writers", "kit/output/DxfWriter.cpp",
     "dxf.number(51, degrees(curve.rotation + curve.end));",
     "dxf.number(51, degrees(curve.rotation + curve.start));"),
    ("arc-fit-step", "arc fitting", "kit/sheet/ArcFit.cpp",
     "constexpr double kMostStep = M_PI / 4.0;", "constexpr double kMostStep = M_PI / 2.0;"),
    ("checker-curve-rotation", "checker", "checker/Drawing.cpp",
     "centre.y + std::sin(rotation) * x + std::cos(rotation) * y", "centre.y - std::sin(rotation) * x + std::cos(rotation) * y"),
]


def run(command, cwd, quiet=True):
    return subprocess.run(command, cwd=cwd, shell=isinstance(command, str), text=True,
                          stdout=subprocess.PIPE if quiet else None, stderr=subprocess.STDOUT if quiet else None)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--work", default="/tmp/kvhlr-faults")
    parser.add_argument("--only", default="")
    parser.add_argument("--ctest-args", default="")
    options = parser.parse_args()
    repo = subprocess.run(["git", "rev-parse", "--show-toplevel"], text=True, capture_output=True,
                          check=True).stdout.strip()
    tree = os.path.join(options.work, "tree")
    build = os.path.join(options.work, "build")
    if not os.path.isdir(tree):
        run(["git", "worktree", "add", "--detach", tree, "HEAD"], repo).check_returncode()
    chosen = [f for f in FAULTS if not options.only or f[0] in options.only.split(",")]
    for name, _, path, original, _ in chosen:
        text = open(os.path.join(tree, path)).read()
        if text.count(original) != 1:
            sys.exit(f"{name}: the original text occurs {text.count(original)} times in {path}")
    run(["cmake", "-S", tree, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DKVHLR_BUILD_BENCHMARKS=OFF",
         f"-DPython3_EXECUTABLE={sys.executable}"], tree).check_returncode()
    jobs = str(os.cpu_count() or 2)
    # The tree as it is must pass: a test failing without any fault would count every fault as caught.
    run(["cmake", "--build", build, "-j", jobs], tree).check_returncode()
    baseline = run(f"ctest -j {jobs} {options.ctest_args}", build)
    if baseline.returncode != 0:
        sys.exit("the suite fails without a fault:\n" + baseline.stdout[-2000:])
    rows = []
    for name, stage, path, original, faulty in chosen:
        file = os.path.join(tree, path)
        text = open(file).read()
        open(file, "w").write(text.replace(original, faulty))
        try:
            built = run(["cmake", "--build", build, "-j", jobs], tree)
            if built.returncode != 0:
                rows.append((name, stage, "caught (does not build)", ""))
                continue
            tested = run(f"ctest -j {jobs} {options.ctest_args}", build)
            failed = [line.split(" - ", 1)[1].split(" (")[0].strip() for line in tested.stdout.splitlines()
                      if " - " in line and any(mark in line for mark in ("(Failed", "(SEGFAULT", "(Timeout"))]
            rows.append((name, stage, "caught" if tested.returncode != 0 else "SURVIVED", ", ".join(failed[:3])))
        finally:
            open(file, "w").write(text)
        print(f"{name}: {rows[-1][2]}", file=sys.stderr)
    run(["cmake", "--build", build, "-j", jobs], tree)  # leave the build as the tree is
    print("| fault | stage | result | first failing tests |\n|---|---|---|---|")
    for row in rows:
        print("| " + " | ".join(row) + " |")


if __name__ == "__main__":
    main()
