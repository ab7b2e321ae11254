"""The package as a user installs it: pip builds it offline into a fresh virtual environment, which then
imports it without the build tree, finds its type information and runs `python -m kelvar_hlr`."""

import os
import re
import subprocess
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
CUBE = os.path.join(os.environ["KVHLR_TEST_DATA"], "cube.obj")
BRACKET = SOURCE / "examples" / "models" / "bracket.step"


def test_pip_installs_the_package_into_a_fresh_environment(tmp_path):
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", tmp_path / "v"], check=True)
    python = tmp_path / "v" / "bin" / "python"
    subprocess.run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", SOURCE],
                   check=True, capture_output=True)
    outside = {name: value for name, value in os.environ.items() if name != "PYTHONPATH"}
    run = lambda *arguments: subprocess.run([python, *arguments], env=outside, cwd=tmp_path, check=True,
                                            capture_output=True, text=True).stdout
    version, folder = run("-c", "import kelvar_hlr; print(kelvar_hlr.__version__, kelvar_hlr.__path__[0])").split()
    assert version == re.search(r"project\(\w+ VERSION ([\d.]+)", (SOURCE / "CMakeLists.txt").read_text())[1]
    assert Path(folder).is_relative_to(tmp_path / "v")
    assert {"py.typed", "_core.pyi"} <= {path.name for path in Path(folder).iterdir()}
    assert "Requires: numpy" in run("-m", "pip", "show", "kelvar_hlr")
    run("-m", "kelvar_hlr", CUBE, "-o", "cube.svg", "--hidden")
    assert (tmp_path / "cube.svg").read_text().startswith("<?xml")
    # STEP files are read by a program of the package's, which must stay runnable once installed.
    if os.environ.get("KVHLR_WRITE_CAD"):
        run("-c", f"import kelvar_hlr; assert len(kelvar_hlr.load_model({str(BRACKET)!r}).vertices) > 0")
