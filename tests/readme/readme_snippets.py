"""The code snippets of README.md, so that the tests compile and run them as the README shows them.

    readme_snippets.py README.md OUT.cpp

writes every C++ snippet into one program: each snippet's #include lines at the top, the rest as the
body of a function of its own that takes main's arguments; main runs them in order. The Python test
imports `snippets` for the Python snippets.
"""

import re
import sys


def snippets(readme_text, language):
    """The code of every ```language block, in order."""
    return re.findall(rf"^```{language}\n(.*?)^```$", readme_text, re.DOTALL | re.MULTILINE)


def cpp_program(blocks):
    includes, functions, calls = [], [], []
    for number, block in enumerate(blocks, 1):
        lines = block.splitlines()
        includes += [line for line in lines if line.startswith("#include") and line not in includes]
        body = "\n".join(("    " + line).rstrip() for line in lines if not line.startswith("#include"))
        functions.append(f"// README.md, C++ snippet {number}\n"
                         f"void snippet{number}([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {{\n"
                         f"{body}\n}}\n")
        calls.append(f"    snippet{number}(argc, argv);\n")
    return ("// Written by tests/readme/readme_snippets.py from README.md: edit the README, not this file.\n"
            + "\n".join(includes) + "\n\n" + "\n".join(functions)
            + "\nint main(int argc, char** argv) {\n" + "".join(calls) + "    return 0;\n}\n")


if __name__ == "__main__":
    readme, out = sys.argv[1:]
    with open(readme, encoding="utf-8") as file:
        blocks = snippets(file.read(), "cpp")
    if not blocks:
        sys.exit(f"{readme} holds no C++ snippet")
    with open(out, "w", encoding="utf-8") as file:
        file.write(cpp_program(blocks))
