"""Runs every Python snippet of README.md, in order and in one namespace, in a scratch folder where the
README's paths (examples/models/...) lead to the source tree's, as a script (the Dask snippets start
their local clusters under a main guard); each file a snippet saves must be there."""

import os
import re
from pathlib import Path

from readme_snippets import snippets

ROOT = Path(__file__).resolve().parents[2]


def test_python_snippets_run(tmp_path, monkeypatch):
    blocks = snippets((ROOT / "README.md").read_text(encoding="utf-8"), "python")
    assert blocks, "README.md holds no Python snippet"
    (tmp_path / "examples").symlink_to(ROOT / "examples")
    monkeypatch.chdir(tmp_path)
    namespace = {"__name__": "__main__"}  # run as a user runs them: as a script, past its main guard
    for block in blocks:
        exec(compile(block, "README.md", "exec"), namespace)
        for saved in re.findall(r"\.save\(\"([^\"]+)\"", block):
            assert os.path.getsize(saved) > 0, saved
