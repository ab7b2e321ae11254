"""python -m kelvar_hlr MODEL -o OUT: draws a model file as kvhlr does, in the format that OUT's
extension asks for (.svg, .dxf, .pdf, .json). A small front end; kvhlr has every option."""

import argparse
import sys
from typing import List, Optional

from . import Camera, draw, load_model


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(prog="python -m kelvar_hlr", description=__doc__)
    parser.add_argument("model", help="model file (OBJ, STL, PLY, glTF, 3MF and more; STEP and IGES)")
    parser.add_argument("-o", "--output", required=True, help="drawing to write")
    # Names in any case, as the module takes them.
    parser.add_argument("--view", default="iso", type=str.lower, choices=Camera.views())
    parser.add_argument("--up-axis", type=str.lower, choices=["y", "z"],
                        help="the model's vertical (STEP and IGES files: z unless given)")
    parser.add_argument("--perspective", type=float, metavar="DEGREES", help="field of view")
    parser.add_argument("--hidden", action="store_true", help="also draw hidden lines")
    args = parser.parse_args(argv)
    try:
        model = load_model(args.model)
        camera = Camera.view(args.view, model, up_axis=args.up_axis, perspective=args.perspective)
        draw(model, camera, hidden=args.hidden).save(args.output)
    except (OSError, ValueError) as error:
        print(f"kelvar_hlr: {error}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        return 130
    return 0


if __name__ == "__main__":
    sys.exit(main())
