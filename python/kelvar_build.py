"""The build backend of the Python package (PEP 517), with the standard library only, so that
`pip install .` works offline and without build requirements.

In:  the source tree; CMake, a C++ compiler, the Python headers, pybind11 and the library's own
     dependencies installed (scripts/setup.sh installs them).
Out: a wheel holding the package kelvar_hlr: its Python files, the compiled module and the shared
     libraries it loads (found beside it), or an sdist of the source tree. The version is the CMake
     project's; name, summary and dependencies come from pyproject.toml.
"""

import base64
import hashlib
import os
import re
import stat
import subprocess
import sys
import sysconfig
import tarfile
import tempfile
import tomllib
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
PACKAGE = "kelvar_hlr"


def _project():
    project = tomllib.loads((ROOT / "pyproject.toml").read_text())["project"]
    cmake = (ROOT / "CMakeLists.txt").read_text()
    project["version"] = re.search(r"project\(\w+ VERSION ([\d.]+)", cmake).group(1)
    return project


def _metadata(project):
    lines = ["Metadata-Version: 2.1", f"Name: {project['name']}", f"Version: {project['version']}",
             f"Summary: {project['description']}", f"Requires-Python: {project['requires-python']}"]
    lines += [f"Requires-Dist: {requirement}" for requirement in project["dependencies"]]
    return "\n".join(lines) + "\n"


def _tag():
    version = f"{sys.version_info.major}{sys.version_info.minor}"
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"cp{version}-cp{version}{sys.abiflags}-{platform}"


def _say(message):
    """A line of progress; pip shows the build's output with -v."""
    print(f"kelvar_build: {message}", file=sys.stderr, flush=True)


def _build_folder(stage, config_settings):
    """Where CMake builds: the folder of `--config-settings build-dir=FOLDER` (relative to the source
    tree; made if missing and kept, so that the next install builds only what changed), or one in the
    scratch folder `stage`. A folder configured by anything else (kvhlr's build, the tests') is refused,
    as configuring it for the package would change what it builds."""
    given = (config_settings or {}).get("build-dir")
    if not given:
        return Path(stage) / "build"
    build = ROOT / given
    cache = build / "CMakeCache.txt"
    if cache.exists() and not re.search(r"^KVHLR_PYTHON_INSTALL_DIR:\w+=\.$", cache.read_text(), re.MULTILINE):
        sys.exit(f"build-dir: {build} holds a build configured for something else; give a folder of its own "
                 "(new, or one an earlier pip install built)")
    return build


def _build(stage, config_settings):
    """Builds the module with CMake and installs the package, libraries beside it, into `stage`."""
    build = _build_folder(stage, config_settings)
    install = Path(stage) / "install"
    _say(f"configuring in {build}")
    subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release", "-DKVHLR_BUILD_TESTS=OFF",
                    "-DKVHLR_BUILD_BENCHMARKS=OFF", "-DKVHLR_BUILD_CLI=OFF", "-DKVHLR_BUILD_PYTHON=ON",
                    f"-DPython3_EXECUTABLE={sys.executable}", f"-DCMAKE_INSTALL_LIBDIR={PACKAGE}",
                    "-DKVHLR_PYTHON_INSTALL_DIR=."], check=True, stdout=sys.stderr)
    jobs = os.cpu_count() or 1
    _say(f"building the library, the drawing kit and the module on {jobs} processors "
         "(minutes the first time; CMake's lines below show how far it is)")
    subprocess.run(["cmake", "--build", build, "-j", str(jobs), "--target", PACKAGE],
                   check=True, stdout=sys.stderr)
    _say("putting the package together")
    subprocess.run(["cmake", "--install", build, "--prefix", install], check=True, stdout=sys.stderr)
    return install / PACKAGE


def _package_files(folder):
    """The package's files: everything but the CMake files, and of each shared library the name it is
    loaded by (libX.so.1 rather than its links libX.so and libX.so.1.0.0; a wheel holds no links). Also
    the names of those that are run (the libraries and the kit's CAD reader program), which keep their
    execute permission in the wheel."""
    files, runnable = {}, set()
    for path in sorted(folder.iterdir()):
        if path.is_dir():
            continue
        library = re.fullmatch(r"(lib.+\.so)((?:\.\d+)*)", path.name)
        if library:
            base, numbers = library.groups()
            versioned = sorted(folder.glob(base + ".*"))
            if numbers.count(".") != (1 if versioned else 0):
                continue
        files[f"{PACKAGE}/{path.name}"] = path.resolve().read_bytes()
        if os.access(path, os.X_OK):
            runnable.add(f"{PACKAGE}/{path.name}")
    return files, runnable


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def _dist_info(project):
    """The name of the .dist-info folder and its METADATA and WHEEL files."""
    info = f"{project['name']}-{project['version']}.dist-info"
    wheel = f"Wheel-Version: 1.0\nGenerator: kelvar_build\nRoot-Is-Purelib: false\nTag: {_tag()}\n"
    return info, {"METADATA": _metadata(project).encode(), "WHEEL": wheel.encode()}


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    """Without this pip would build the wheel twice: once for its metadata."""
    info, files = _dist_info(_project())
    (Path(metadata_directory) / info).mkdir()
    for name, data in files.items():
        (Path(metadata_directory) / info / name).write_bytes(data)
    return info


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    project = _project()
    wheel = Path(wheel_directory) / f"{project['name']}-{project['version']}-{_tag()}.whl"
    with tempfile.TemporaryDirectory() as stage:
        files, runnable = _package_files(_build(stage, config_settings))
    info, metadata = _dist_info(project)
    files.update({f"{info}/{name}": data for name, data in metadata.items()})
    record = [_record_line(path, data) for path, data in files.items()] + [f"{info}/RECORD,,"]
    files[f"{info}/RECORD"] = ("\n".join(record) + "\n").encode()
    with zipfile.ZipFile(wheel, "w", zipfile.ZIP_DEFLATED) as archive:
        for path, data in files.items():
            entry = zipfile.ZipInfo(path, date_time=(1980, 1, 1, 0, 0, 0))
            # A regular file's type bits too: installers give the execute permission to those only.
            entry.external_attr = (stat.S_IFREG | (0o755 if path in runnable else 0o644)) << 16
            archive.writestr(entry, data, zipfile.ZIP_DEFLATED)
    return wheel.name


def build_sdist(sdist_directory, config_settings=None):
    """The files git tracks, with PKG-INFO."""
    project = _project()
    name = f"{project['name']}-{project['version']}"
    tracked = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, check=True, capture_output=True)
    sdist = Path(sdist_directory) / f"{name}.tar.gz"
    with tarfile.open(sdist, "w:gz") as archive:
        for path in sorted(tracked.stdout.decode().split("\0")):
            if path and (ROOT / path).is_file():
                archive.add(ROOT / path, f"{name}/{path}")
        metadata = tempfile.NamedTemporaryFile("w", delete=False)
        with metadata:
            metadata.write(_metadata(project))
        archive.add(metadata.name, f"{name}/PKG-INFO")
        os.unlink(metadata.name)
    return sdist.name
