"""Drawings on a Dask cluster: a drawing set of many files, each view or sheet a task, and one view of a
model too big for one machine, split into screen tiles.

In:  model files and kvhlr's options as keywords (draw_files); a model, a camera and a tile count, with a
     folder every worker can read (prepare_tiles, draw_tiled).
Out: the drawing files, written as kvhlr writes them, and a summary (draw_files); one drawing's lines,
     joined back across the tiles' borders (draw_tiled).

Optional: it needs Dask's distributed scheduler (Debian's python3-distributed), which `import kelvar_hlr`
never loads. `python -m kelvar_hlr.distributed --scheduler ADDRESS FILES... -o DIR/ [kvhlr options]`
draws a set from the command line.
"""

import argparse
import glob
import json
import os
import resource
import sys
import time
from pathlib import Path
from typing import Any, Dict, List, NamedTuple, Optional, Sequence, Tuple

import numpy as np

try:
    import distributed
except ImportError as error:  # pragma: no cover - the message is the point
    raise ImportError("kelvar_hlr.distributed needs Dask's distributed scheduler: install python3-distributed "
                      "(Debian) or the Python package 'distributed'") from error

from . import Camera, Cancelled, Plane, draw, load_model

# kvhlr's options as keywords: those that choose the camera, those draw() takes and those save() takes.
_CAMERA_KEYWORDS = {"view", "up_axis", "perspective", "section"}
_DRAW_KEYWORDS = {"hidden", "silhouettes", "sharp", "sharp_angle", "exact", "intersections", "hatch_spacing",
                  "hatch_angle", "tangent_edges", "centre_lines"}
_SAVE_KEYWORDS = {"paper", "scale", "units", "views", "style", "order", "dashes", "projection", "orientation",
                  "title", "margin", "gap", "fit_arcs"}
_FORMATS = ("svg", "dxf", "pdf", "json")


class Result(NamedTuple):
    """One task of a drawing set: the model file, the drawing file and the error that stopped it, if any."""

    input: str
    output: str
    error: Optional[str]


def _client_or_local(client):
    """The client given, the one already running in this process, or a local cluster's, which the caller
    closes (the second value)."""
    if client is not None:
        return client, None
    try:
        return distributed.default_client(), None
    except ValueError:
        local = distributed.Client(distributed.LocalCluster(dashboard_address=None))
        return local, local


def _targets(paths, out, views, file_format):
    """Where each (model, view) pair is drawn to: `out` is a folder (existing or ending in '/'), each
    model's name (and view, when there are several) giving its file's, or a name holding {name} (and
    {view}). Raises ValueError naming out when two drawings would go to one file."""
    folder = out.endswith("/") or os.path.isdir(out)
    if not folder and "{name}" not in out:
        raise ValueError(f"out: a drawing set goes to a folder or to a name with {{name}} in it, not {out}")
    if not folder and len(views) > 1 and "{view}" not in out:
        raise ValueError(f"out: several views need {{view}} in the name {out}")
    targets, seen = [], set()
    for path in paths:
        name = Path(path).stem
        for view in views:
            if folder:
                stem = name if len(views) == 1 else f"{name}-{view}"
                target = os.path.join(out, f"{stem}.{file_format}")
            else:
                target = out.replace("{name}", name).replace("{view}", view or "")
            if target in seen:
                raise ValueError(f"out: two drawings would both be drawn to {target}")
            seen.add(target)
            targets.append((str(path), view, target))
    return targets


def _split(options):
    """kvhlr's options as keywords into the camera's, draw()'s and save()'s. Raises TypeError naming an
    unknown one."""
    unknown = set(options) - _CAMERA_KEYWORDS - _DRAW_KEYWORDS - _SAVE_KEYWORDS - {"layers", "format"}
    if unknown:
        raise TypeError(f"unexpected keyword argument '{sorted(unknown)[0]}'")
    draw_options = {key: options[key] for key in _DRAW_KEYWORDS & set(options)}
    save_options = {key: options[key] for key in _SAVE_KEYWORDS & set(options)}
    # A part's layers are drawn (each line's part found) and written; the up axis places the camera and
    # the sheet's other views.
    if options.get("layers") is not None:
        save_options["layers"] = options["layers"]
        draw_options["part_layers"] = str(options["layers"]).lower() == "parts"
    if options.get("up_axis") is not None:
        save_options["up_axis"] = options["up_axis"]
    return draw_options, save_options


def _remove_stale_temporaries(target):
    """The temporary files (kvhlr's `.NAME.kvhlr-XXXXXX`) an earlier attempt at this target left when its
    worker was killed mid-write: Dask runs a task again only once the attempt before it is over."""
    folder, name = os.path.split(target)
    for stale in glob.glob(os.path.join(glob.escape(folder or "."), f".{glob.escape(name)}.kvhlr-*")):
        os.remove(stale)


def _draw_file(path, view, target, camera_options, draw_options, save_options):
    """One task: a model file's view (or sheet) drawn and written to target as kvhlr writes it."""
    try:
        model = load_model(path)
        up_axis = camera_options.get("up_axis")
        section = camera_options.get("section")
        plane = Plane.named(section, model, up_axis=up_axis) if section else None
        if plane is not None and view is None:
            camera = plane.camera(model, up_axis=up_axis)
        else:
            camera = Camera.view(view or "iso", model, up_axis=up_axis,
                                 perspective=camera_options.get("perspective"))
        drawing = draw(model, camera, section=plane, **draw_options)
        os.makedirs(os.path.dirname(target) or ".", exist_ok=True)
        _remove_stale_temporaries(target)
        drawing.save(target, **save_options)
    except (OSError, ValueError, Cancelled) as error:
        return Result(path, target, str(error))
    return Result(path, target, None)


def draw_files(paths: Sequence[Any], out: str, client=None, *, progress: bool = True,
               **options: Any) -> List[Result]:
    """Draws every model file of `paths` as kvhlr draws it, each view (or sheet) a task on the cluster of
    `client` (default: the client running in this process, else a local cluster made for the call).

    out is a folder (each file named after its model, and its view where `view` lists several) or a name
    holding {name} (and {view}); format ('svg', 'dxf', 'pdf', 'json') the files' format, default SVG. The
    other keywords are kvhlr's options, named as in Python: view (a name, or a list of names: a file for
    each), up_axis, perspective, section (a name as kvhlr's --section takes it), the keywords of draw()
    (hidden, silhouettes, sharp, sharp_angle, exact, intersections, hatch_spacing, hatch_angle,
    tangent_edges, centre_lines), layers ('kinds' or 'parts') and those of Drawing.save() (paper, scale,
    units, views, style, ...). The files are the bytes kvhlr writes, each written whole or not at all, so
    a task run again after its worker died leaves one file.

    A file that cannot be drawn is reported by name while the others go on. With progress, Dask's
    progress bar is shown and a summary printed to standard error at the end. Returns a Result per file,
    in the order of paths (and views). Raises TypeError for an unknown keyword and ValueError for an out
    that would put two drawings in one file, before any task starts."""
    options = {key: value for key, value in options.items() if value is not None}
    draw_options, save_options = _split(options)
    file_format = str(options.get("format", "svg")).lower()
    if file_format not in _FORMATS:
        raise ValueError(f"format: expected one of {', '.join(_FORMATS)}, not {file_format}")
    views = options.get("view", [None])
    views = [views] if isinstance(views, str) else list(views)
    camera_options = {key: options[key] for key in (_CAMERA_KEYWORDS - {"view"}) & set(options)}
    targets = _targets([os.fspath(path) for path in paths], out, views, file_format)

    client, local = _client_or_local(client)
    try:
        start = time.perf_counter()
        futures = [client.submit(_draw_file, path, view, target, camera_options, draw_options, save_options,
                                 pure=False)
                   for path, view, target in targets]
        if progress:
            distributed.progress(futures)
        distributed.wait(futures)
        results = []
        for (path, _, target), future in zip(targets, futures):
            if future.status == "finished":
                results.append(future.result())
            else:  # the task's worker died too often (KilledWorker), or it raised what draw() never does
                results.append(Result(path, target, f"{type(future.exception()).__name__}: {future.exception()}"))
        if progress:
            _print_summary(results, time.perf_counter() - start)
        return results
    finally:
        if local is not None:
            local.cluster.close()
            local.close()


def _print_summary(results, seconds):
    failed = [result for result in results if result.error]
    print(f"\n{len(results) - len(failed)} of {len(results)} drawings written in {seconds:.1f} s", file=sys.stderr)
    for result in failed:
        print(f"{result.input} ({result.output}): {result.error}", file=sys.stderr)


def _arguments(argv):
    parser = argparse.ArgumentParser(
        prog="python -m kelvar_hlr.distributed",
        description="Draws model files on a Dask cluster as kvhlr draws them, each view or sheet a task.")
    parser.add_argument("--scheduler", metavar="ADDRESS",
                        help="the Dask scheduler (tcp://HOST:PORT); default: a local cluster on this machine")
    parser.add_argument("inputs", nargs="+", metavar="FILES", help="model files")
    parser.add_argument("-o", "--output", required=True,
                        help="a folder (DIR/) or a name with {name} (and {view}) in it")
    parser.add_argument("--format", type=str.lower, choices=_FORMATS)
    parser.add_argument("--view", type=lambda text: text.lower().split(","),
                        help="a named view, or several separated by commas: a file for each")
    parser.add_argument("--views", type=lambda text: text.lower().split(","), help="the views of a sheet")
    parser.add_argument("--up-axis", type=str.lower, choices=["y", "z"])
    parser.add_argument("--perspective", type=float, metavar="DEGREES")
    parser.add_argument("--section", metavar="PLANE")
    parser.add_argument("--hatch-spacing", type=float)
    parser.add_argument("--hatch-angle", type=float)
    parser.add_argument("--hidden", action="store_true", default=None)
    parser.add_argument("--no-silhouettes", dest="silhouettes", action="store_false", default=None)
    parser.add_argument("--no-sharp", dest="sharp", action="store_false", default=None)
    parser.add_argument("--no-intersections", dest="intersections", action="store_false", default=None)
    parser.add_argument("--no-centre-lines", dest="centre_lines", action="store_false", default=None)
    parser.add_argument("--tangent-edges", action="store_true", default=None)
    parser.add_argument("--sharp-angle", type=float)
    parser.add_argument("--hide-test", choices=["exact", "specified"])
    parser.add_argument("--layers", choices=["kinds", "parts"])
    for name in ("paper", "orientation", "scale", "units", "projection", "style", "order", "dashes"):
        parser.add_argument(f"--{name}")
    parser.add_argument("--margin", type=float)
    parser.add_argument("--gap", type=float)
    parser.add_argument("--fit-arcs", type=float, metavar="MM")
    parser.add_argument("--no-title", dest="title", action="store_false", default=None)
    return parser.parse_args(argv)


def main(argv: Optional[List[str]] = None) -> int:
    arguments = vars(_arguments(argv))
    scheduler, paths, out = arguments.pop("scheduler"), arguments.pop("inputs"), arguments.pop("output")
    hide_test = arguments.pop("hide_test")
    if hide_test is not None:
        arguments["exact"] = hide_test == "exact"
    try:
        client = distributed.Client(scheduler) if scheduler else None
        results = draw_files(paths, out, client, **arguments)
    except (OSError, ValueError, TypeError) as error:
        print(f"kelvar_hlr.distributed: {error}", file=sys.stderr)
        return 2
    return 1 if any(result.error for result in results) else 0


if __name__ == "__main__":
    # Run as a script, this file is __main__, whose functions Dask would send by value with everything
    # they refer to; the package's module sends them by name.
    from kelvar_hlr.distributed import main as package_main

    sys.exit(package_main())
