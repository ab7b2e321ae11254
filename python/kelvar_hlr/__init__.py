"""Hidden-line drawings of triangle meshes held in numpy arrays.

Fit a Camera to the model, draw() the vertex and triangle arrays through it, and read the Drawing's
lines or save it in any format kvhlr writes; load_model() reads a STEP or IGES part whole, so that
draw(model, camera) shows its true edges. Meshes, cameras and drawing files are those of the kvhlr
tool. `python -m kelvar_hlr MODEL -o OUT.svg` draws a mesh file from the command line.
"""

from ._core import (
    Camera,
    Cancelled,
    Drawing,
    Kind,
    Line,
    Model,
    Plane,
    __version__,
    _demo_mesh,
    draw,
    load_mesh,
    load_model,
)

__all__ = [
    "Camera",
    "Cancelled",
    "Drawing",
    "Kind",
    "Line",
    "Model",
    "Plane",
    "__version__",
    "draw",
    "load_mesh",
    "load_model",
]
