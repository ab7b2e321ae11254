"""Multiplies the vertex coordinates of an OBJ file by a factor; every other line is copied unchanged.

    scale_obj.py FACTOR IN.obj OUT.obj
"""

import sys


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip())
    factor = float(sys.argv[1])
    with open(sys.argv[2]) as source, open(sys.argv[3], "w") as out:
        for line in source:
            fields = line.split()
            if fields and fields[0] == "v":
                line = "v " + " ".join(repr(float(c) * factor) for c in fields[1:]) + "\n"
            out.write(line)


if __name__ == "__main__":
    main()
