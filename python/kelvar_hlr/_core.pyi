"""The compiled part of the package kelvar_hlr, which exports all of it."""

import os
from typing import Any, Callable, Iterator, Literal, Optional, Sequence, Union, overload

import numpy as np
import numpy.typing as npt

__version__: str

_Path = Union[str, os.PathLike[str]]
_Vector = Union[Sequence[float], npt.NDArray[np.floating]]
# The model a camera or a plane is placed on: a Model, its vertices (N, 3), or its box's corners (2, 3).
_Bounds = Union["Model", npt.ArrayLike]

class Cancelled(Exception):
    """Raised by draw() when its progress callback returned a true value."""

class Camera:
    """A camera: world to view coordinates (model_view), view to screen coordinates (projection), and
    the near and far depths. The drawing plane's frame maps to -1..1 on both screen axes; the eye looks
    along -z in view coordinates."""

    def __init__(self, model_view: npt.ArrayLike, projection: npt.ArrayLike, near: float, far: float) -> None:
        """A camera used exactly as given: 4x4 row-major matrices acting on column vectors (x, y, z, 1)
        and the near and far distances from the eye (positive, near below far). A perspective camera
        may stand inside the model: the drawing shows what lies beyond its near plane."""
    @staticmethod
    def view(
        name: str,
        bounds: _Bounds,
        *,
        up_axis: Optional[str] = None,
        perspective: Optional[float] = None,
        fill: float = 0.95,
    ) -> Camera:
        """The camera of a named view (see views()), fitted as kvhlr fits it: centred on the model, which
        fills `fill` of the frame. `bounds` is a Model (load_model), the model's vertices (N, 3), or the
        minimum and maximum corners of its box (2, 3). `up_axis` is the model's vertical, 'y' or 'z';
        None: z for a Model read from a STEP or IGES file (as kvhlr draws them), else y. `perspective` is
        the field of view in degrees, or None for an orthographic camera. Names are compared without
        case."""
    @staticmethod
    def look_at(
        eye: _Vector,
        target: _Vector,
        up: _Vector,
        bounds: _Bounds,
        *,
        perspective: Optional[float] = None,
        fill: float = 0.95,
        fit: bool = False,
    ) -> Camera:
        """The camera at `eye` looking at `target` with `up` as the drawing's vertical, as gluLookAt
        places it: `perspective` is the field of view in degrees, or None for an orthographic camera
        whose frame holds the model (`bounds`, as in view()) at `fill`. Its near and far planes enclose
        the model; with the eye inside it (a room, a terrain running behind the eye), near lies at a
        thousandth of far and a perspective drawing shows what lies beyond it. fit=True keeps only the
        direction and fits the camera to the model as view() does."""
    @staticmethod
    def from_file(path: _Path) -> Camera:
        """The camera of a camera file or of a JSON drawing, exactly as written. Raises OSError when it
        cannot be read or is not a camera."""
    @staticmethod
    def views() -> list[str]:
        """The names of the views that view() accepts."""
    @property
    def model_view(self) -> npt.NDArray[np.float64]:
        """World to view coordinates, a new 4x4 array (row-major)."""
    @property
    def projection(self) -> npt.NDArray[np.float64]:
        """View to screen coordinates, a new 4x4 array (row-major)."""
    @property
    def near(self) -> float:
        """The near plane's distance from the eye."""
    @property
    def far(self) -> float:
        """The far plane's distance from the eye."""

class Plane:
    """A cutting plane for a section view (draw's section): a point of it and its normal. The side the
    camera sees from is taken away, whichever way the normal points."""

    def __init__(self, point: _Vector, normal: _Vector) -> None:
        """Raises ValueError for a zero normal."""
    @staticmethod
    def named(name: str, bounds: _Bounds, *, up_axis: Optional[str] = None) -> Plane:
        """The plane kvhlr --section names: 'x=1.5', 'y=0', 'z=-2' across that axis, or 'front', 'back',
        'left', 'right', 'top', 'bottom' through the centre of the model (`bounds`, as in Camera.view,
        whose up_axis this takes too), facing that view."""
    @staticmethod
    def plan(height: float, bounds: _Bounds, *, up_axis: Optional[str] = None) -> Plane:
        """A plan's plane (kvhlr --plan): horizontal, `height` above the model's floor."""
    def camera(self, bounds: _Bounds, *, up_axis: Optional[str] = None) -> Camera:
        """The orthographic camera that looks square at the cut from the normal's side, fitted to the
        model as Camera.view fits it."""
    @property
    def point(self) -> tuple[float, float, float]: ...
    @property
    def normal(self) -> tuple[float, float, float]: ...

class Kind:
    """The kinds of line (Line.kind); a Kind compares equal to its number."""

    VISIBLE_SILHOUETTE: Kind  # 0
    HIDDEN: Kind  # 1
    VISIBLE_CONCAVE_SHARP: Kind  # 2
    VISIBLE_CONVEX_SHARP: Kind  # 3
    OTHER_VISIBLE: Kind  # 5
    VISIBLE_INTERSECTION: Kind  # 6
    SECTION_OUTLINE: Kind  # 7
    HATCHING: Kind  # 8
    VISIBLE_TANGENT: Kind  # 9
    CENTRE_LINE: Kind  # 10
    @property
    def name(self) -> str:
        """The kind's name, such as "HIDDEN"."""
    @property
    def value(self) -> int:
        """The kind's number."""
    def __int__(self) -> int: ...
    def __eq__(self, other: object) -> bool: ...

class Line:
    """One polyline of a drawing."""

    @property
    def points(self) -> npt.NDArray[np.float64]:
        """The points in the drawing plane, in world length units: a read-only (N, 2) float64 array that
        views the drawing."""
    @property
    def kind(self) -> Kind:
        """The Kind: 0 visible silhouette, 1 hidden, 2 visible concave sharp edge, 3 visible convex sharp
        edge, 5 other visible line, 6 visible intersection line, 7 a section's outline, 8 its hatching,
        9 a visible tangent edge, 10 a centre line or mark."""
    @property
    def body(self) -> int:
        """With provenance: the index of the line's body (its part) in Drawing.part_names (an
        intersection line's first); -1 for a line without one, and without provenance."""
    @property
    def other_body(self) -> int:
        """With provenance, an intersection line's second body; else -1."""
    @property
    def edges(self) -> npt.NDArray[np.int64]:
        """With provenance: each segment's model edge, its two vertex indices in the body's mesh (an
        intersection line's: its two triangles), -1 where it lies on none: a new (N - 1, 2) int64 array;
        (0, 2) without provenance."""
    @property
    def brep_edges(self) -> npt.NDArray[np.int64]:
        """With provenance, for a line of a STEP or IGES part: each segment's B-rep edge (its number in
        the part, from 1, as README.md tells), -1 where it lies on none (a silhouette of a curved face):
        a new (N - 1,) int64 array; empty for other drawings."""
    @property
    def level(self) -> int:
        """A hidden line's occlusion level, drawn with hidden_levels: how many surfaces lie between it and
        the eye (1 behind one); 0 for visible lines and without hidden_levels."""

class Drawing:
    """A finished drawing: its lines and the camera that made it. Iterating and indexing give Line
    objects; points, offsets and kinds give the whole drawing as three arrays. Drawings pickle with
    everything they carry, the mesh or model they were drawn from and its options included, so that an
    unpickled drawing saves the same files and sheets."""

    @property
    def lines(self) -> list[Line]:
        """The lines, hidden and visible: a new list of Line."""
    @property
    def camera(self) -> Camera:
        """The camera the drawing was made with."""
    @property
    def points(self) -> npt.NDArray[np.float64]:
        """The points of all lines, one after the other: a new (P, 2) float64 array."""
    @property
    def offsets(self) -> npt.NDArray[np.int64]:
        """Where each line's points start in points: a new (N + 1,) int64 array; line i is
        points[offsets[i]:offsets[i + 1]]."""
    @property
    def kinds(self) -> npt.NDArray[np.int32]:
        """The kind of each line: a new (N,) int32 array (see Kind)."""
    @property
    def levels(self) -> npt.NDArray[np.int32]:
        """Each line's occlusion level (Line.level): a new (N,) int32 array."""
    @property
    def parts(self) -> list[str]:
        """The part of each line by its name, for a Model drawn with part_layers or provenance; else
        empty."""
    @property
    def part_names(self) -> list[str]:
        """The parts' names, for a drawing with part_layers or provenance (as kvhlr names their layers);
        else empty."""
    @property
    def bodies(self) -> npt.NDArray[np.int64]:
        """With provenance: each line's body, an index into part_names (an intersection line's first),
        -1 for a line without one (a section's outline, a centre line): a new (N,) int64 array; empty
        without provenance."""
    @property
    def edges(self) -> npt.NDArray[np.int64]:
        """With provenance: each segment's model edge, its two vertex indices in its body's mesh (a
        Model part's points; an intersection line's: its two triangles), -1 where it lies on none: a new
        (S, 2) int64 array, line i's segments at rows offsets[i] - i to offsets[i + 1] - i - 1; (0, 2)
        without provenance."""
    @property
    def brep_edges(self) -> npt.NDArray[np.int64]:
        """With provenance, for a Model read from a STEP or IGES file: each segment's B-rep edge (its
        number in its part, from 1, as README.md tells), -1 where it lies on none (a silhouette of a
        curved face, a centre line): a new (S,) int64 array, rows as in edges; empty for other
        drawings."""
    @property
    def curves(self) -> npt.NDArray[np.float64]:
        """The lines that are true circles, arcs or ellipses (a STEP or IGES model's): a new (C, 8)
        float64 array, a row each: the line's index, the centre's x and y, the major and minor radius,
        the major axis's angle from x, and the start and end angle (radians, counter-clockwise; the point
        at t is the centre plus the major radius times cos t along the major axis and the minor radius
        times sin t square to it)."""
    def save(
        self,
        path: _Path,
        *,
        paper: Optional[str] = None,
        scale: Union[str, float, None] = None,
        units: Optional[str] = None,
        views: Optional[Sequence[str]] = None,
        style: Union[_Path, dict[str, Any], None] = None,
        order: Optional[str] = None,
        dashes: Optional[str] = None,
        up_axis: Optional[str] = None,
        projection: Optional[str] = None,
        orientation: Optional[str] = None,
        title: Optional[bool] = None,
        name: Optional[str] = None,
        margin: Optional[float] = None,
        gap: Optional[float] = None,
        hidden: Optional[bool] = None,
        layers: Optional[str] = None,
        fit_arcs: Optional[float] = None,
        centre_lines: Optional[bool] = None,
    ) -> None:
        """Writes the drawing as kvhlr does, in the format the extension of `path` asks for (.svg, .dxf,
        .pdf, .json), whole or not at all. Raises ValueError for an extension of no format and OSError
        when the file cannot be written.

        Keywords, as kvhlr's options: paper ('A4', 'A3', 'A2', 'A1', 'A0', 'letter', 'tabloid'), scale
        ('1:2', '2:1' or a number; true to the model's units), units (what one unit of the model is: 'mm',
        'cm', 'm', 'in' or 'ft'; default: the unit a Model's STEP or IGES file gives, metres for glTF,
        else millimetres, also for arrays), views (a list of named views, each
        drawn again from the drawing's mesh with an orthographic camera fitted to the model and laid out
        as projection ('third' or 'first') places them), up_axis ('y' or 'z', for views; default: the
        model's own), orientation ('auto', 'portrait', 'landscape'), title (frame and title block on a
        paper or at a scale), name (the model's name in the title block; default: the name of the file a
        Model was read from), margin and gap (mm: paper edge to frame, between views), hidden (the views
        drawn with hidden lines or without; default: as the drawing), layers ('kinds' or 'parts', a
        Model's parts on layers of their own), style ('classic', 'drafting', a style file, or a dict
        holding what a style file holds), order ('plotter', the default, or 'library'; JSON keeps the
        library's order unless asked), dashes ('style' or 'segments': dashes cut into pieces), fit_arcs
        (mm on paper: arcs and whole circles fitted to the polylines of a page that stay this close to
        one), centre_lines (with fit_arcs: a centre mark on each whole circle fitted). Names are
        compared without case. Raises ValueError for what kvhlr refuses: a
        bad keyword value, views that do not fit the paper, a view named twice, a section's view without
        a section, a scale of a perspective, a JSON file of several views or with a paper or a scale (a
        JSON file of one view holds that view). Keywords that change nothing here (style into JSON,
        orientation without paper, ...) are named in a UserWarning, as kvhlr warns of them."""
    def to_svg(self, **options: Any) -> str:
        """The drawing as an SVG document; the keywords of save()."""
    def to_dxf(self, **options: Any) -> str:
        """The drawing as a DXF document; the keywords of save()."""
    def _repr_svg_(self) -> str:
        """The drawing as SVG, for notebooks."""
    def __len__(self) -> int:
        """The number of lines."""
    @overload
    def __getitem__(self, index: int) -> Line:
        """The line at `index` (negative counts from the end)."""
    @overload
    def __getitem__(self, lines: slice) -> list[Line]:
        """The lines of a slice, as a new list of Line."""
    def __iter__(self) -> Iterator[Line]:
        """The lines in order, each made as the iteration reaches it."""

class Model:
    """A model read from a file as kvhlr reads it (load_model): for a STEP or IGES file, every solid a
    body whose faces are the part's faces, with its tangent edges and the names of its part and
    instance. Models pickle, whole."""

    @property
    def vertices(self) -> npt.NDArray[np.float64]:
        """All vertices, merged: a new float64 (N, 3) array (for cameras)."""
    @property
    def triangles(self) -> npt.NDArray[np.uint32]:
        """All triangles, merged: a new uint32 (M, 3) array indexing vertices."""
    @property
    def part_names(self) -> list[str]:
        """The name of each part (body) as a layer gives it: PART or PART.INSTANCE, names that repeat
        numbered (PART-2)."""
    @property
    def name(self) -> str:
        """The name of the file it was read from, without its folder and extension: the model's name in a
        sheet's title block."""

@overload
def draw(
    model: Model,
    camera: Camera,
    *,
    hidden: bool = False,
    hidden_levels: Union[int, Literal['all'], None] = None,
    silhouettes: bool = True,
    sharp: bool = True,
    sharp_angle: float = 135.0,
    exact: bool = True,
    intersections: bool = True,
    section: Optional[Plane] = None,
    hatch_spacing: float = 0.0,
    hatch_angle: float = 45.0,
    progress: Optional[Callable[[float], object]] = None,
    tangent_edges: bool = False,
    part_layers: bool = False,
    centre_lines: bool = True,
    provenance: bool = False,
    weld: bool = True,
) -> Drawing:
    """Draws a Model (load_model) as kvhlr draws its file: a STEP or IGES part with its true edges (the
    borders between its faces, no line across a face), tangent edges where visible with tangent_edges
    (Kind.VISIBLE_TANGENT), its circles and ellipses as true curves (Drawing.curves), the centre lines
    and marks of its holes and shafts unless centre_lines is False (Kind.CENTRE_LINE), and with
    part_layers each line's part (Drawing.parts) and a layer per part in the files it saves. Other views of a sheet are drawn so too. weld changes nothing: a Model is welded
    when read. The other keywords as below. Every argument may be given by name; the keywords only so: a
    mistake raises TypeError naming the argument."""
@overload
def draw(
    vertices: npt.ArrayLike,
    triangles: npt.ArrayLike,
    camera: Camera,
    *,
    weld: bool = True,
    hidden: bool = False,
    hidden_levels: Union[int, Literal['all'], None] = None,
    silhouettes: bool = True,
    sharp: bool = True,
    sharp_angle: float = 135.0,
    exact: bool = True,
    intersections: bool = True,
    section: Optional[Plane] = None,
    hatch_spacing: float = 0.0,
    hatch_angle: float = 45.0,
    progress: Optional[Callable[[float], object]] = None,
    provenance: bool = False,
) -> Drawing:
    """Draws the mesh of `vertices` (N, 3), any real dtype, and `triangles` (M, 3), any integer dtype,
    indexing the vertices; each array is copied once, straight into the library's input.

    weld: join vertices at exactly the same position first, as kvhlr does when it reads a mesh file, so
    that a triangle soup (STL, numpy-stl, many exporters) has shared edges; False for a mesh whose
    triangles already share their vertices. hidden: also draw hidden lines. silhouettes: visible
    silhouettes and outlines. sharp: visible sharp edges, where faces meet at an angle below sharp_angle
    degrees. exact: exact hiding, else the library's plain hide test. intersections: the lines where
    bodies (or folds of one body) pass through each other, kind 6 where visible.

    section, a Plane: a section view. What lies on the camera's side of the plane is taken away, the
    cut faces are closed, outlined (Kind.SECTION_OUTLINE) and hatched (Kind.HATCHING): lines
    hatch_spacing apart in model units (0: a 60th of the camera frame) at hatch_angle degrees for the
    first body, square to that for the next. A mesh that is not closed where the plane cuts it is left
    uncapped there, with a UserWarning; a plane that misses the model or that the camera sees edge-on
    raises ValueError; hatch_spacing or hatch_angle without a section is named in a UserWarning.

    progress, when given, is called with the share done (0 to 1) in the calling thread, when it grows
    and otherwise about every 50 ms whatever the stage; the share never goes back. A true result
    cancels the drawing, which then raises Cancelled within a fraction of a second, and an exception it
    raises is raised by draw. Ctrl-C cancels the drawing as quickly and raises KeyboardInterrupt. Other
    threads run while the drawing is made; drawings from several threads take turns.

    Raises ValueError for arrays of the wrong shape or dtype, indices out of range, vertices that are
    not finite or lie behind the camera's eye."""
@overload
def draw(
    mesh: object,
    camera: Camera,
    *,
    weld: bool = True,
    hidden: bool = False,
    hidden_levels: Union[int, Literal['all'], None] = None,
    silhouettes: bool = True,
    sharp: bool = True,
    sharp_angle: float = 135.0,
    exact: bool = True,
    intersections: bool = True,
    section: Optional[Plane] = None,
    hatch_spacing: float = 0.0,
    hatch_angle: float = 45.0,
    progress: Optional[Callable[[float], object]] = None,
    provenance: bool = False,
) -> Drawing:
    """Draws a mesh object: one with `vertices` and `faces` arrays (trimesh and others), one with
    `vectors` (numpy-stl), or an (M, 3, 3) array of triangle corners; the keywords as above."""

def draw_pieces(
    vertices: npt.ArrayLike, triangles: npt.ArrayLike, camera: Camera, **keywords: Any
) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.int32], npt.NDArray[np.int64], npt.NDArray[np.int64]]:
    """For one view drawn in parts (kelvar_hlr.distributed's tiles): the mesh's lines as the exact hide
    pass leaves them, unjoined, as (ends, types, nodes, places): each piece's two ends on the camera's
    screen (N, 2, 2), the library's edge type of each (N,), the numbers of its end nodes (N, 2), for
    join_pieces, and the edge it lies on (N, 3), which fixes the drawing's order of pieces: (0,
    triangle, side) for a model edge, the triangle that first has it and its side there; (1, first,
    second) for an intersection line, its two triangles; -1s for another (triangles numbered as in
    `triangles`). draw()'s keywords; exact hiding only, without hidden_levels, provenance or a section."""

def join_pieces(
    ends: npt.ArrayLike, types: npt.ArrayLike, nodes: npt.ArrayLike, camera: Camera, screen_box: npt.ArrayLike,
    **keywords: Any,
) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.int64], npt.NDArray[np.int32]]:
    """The pieces of a view's parts (draw_pieces), cut to their screen tiles and made whole where a
    border cut one, numbered across the parts, joined into the view's lines as draw() joins a whole
    model's (line for line when in one run's order of pieces and nodes, as the pieces' places give it): (points, offsets, kinds) in the drawing plane. screen_box is the whole model's ((x_min,
    y_min), (x_max, y_max)) on the screen; draw()'s keywords choose the kinds drawn."""

def load_mesh(
    path: _Path, *, cad_memory_limit: Optional[int] = None, cad_time_limit: Optional[int] = None
) -> tuple[npt.NDArray[np.float64], npt.NDArray[np.uint32]]:
    """Reads a mesh file as kvhlr does (OBJ, STL, PLY, OFF, glTF/GLB, 3MF and more; STEP and IGES
    tessellated, their faces' borders lost in the merge; vertices at the same position welded) and
    returns (vertices, triangles): a float64 (N, 3) and a uint32 (M, 3) array, all meshes of the file
    merged (load_model keeps a CAD file's faces apart, to draw its true edges). Faces of a CAD file that
    cannot be tessellated are named in a UserWarning. Raises OSError when the file cannot be read.
    cad_memory_limit and cad_time_limit as load_model's."""

def load_model(
    path: _Path, *, cad_memory_limit: Optional[int] = None, cad_time_limit: Optional[int] = None
) -> Model:
    """Reads a model file as kvhlr does, whole, for draw(model, camera, ...): a STEP or IGES file keeps
    its faces apart, so that its drawing shows the part's true edges, and is drawn z up (Camera.view,
    save's views). Faces that cannot be tessellated are named in a UserWarning. Raises OSError when the
    file cannot be read. cad_memory_limit (MB, at least 256; default: half of the machine's) and
    cad_time_limit (seconds of processor time, at most a year; default: 600) bound the CAD reader, as
    kvhlr's --cad-memory-limit and --cad-time-limit do: a file that needs more is refused with a
    ValueError naming the keyword; given for a file that is not a CAD file, they are named in a
    UserWarning."""

def _demo_mesh() -> tuple[npt.NDArray[np.float64], npt.NDArray[np.uint32]]:
    """The mesh of kvhlr's demo part (kvhlr --demo) as (vertices, triangles)."""
