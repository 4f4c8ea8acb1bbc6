"""Builds the extension module zormix._zormix with CMake (the project's own build), so that the
package holds the same solver as the command line. Used by pip through pyproject.toml.

The first build compiles the whole solver: 9 to 11 minutes on 2 busy cores. It runs on
every core the process may use and says how far it is on the terminal (pip -v shows the whole
log). Environment:
  ZORMIX_BUILD_DIR   a CMake build folder to build in and keep, e.g. the repository's build/:
                     only what changed since its last build is compiled (default: build-python/
                     of the source tree, kept for the next install);
  ZORMIX_BUILD_JOBS  parallel jobs (default: the cores this process may use);
  ZORMIX_CMAKE_ARGS  more CMake arguments."""

import os
import re
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent

# "[ 45%] Building CXX object ..." (Makefiles) or "[12/80] Building CXX object ..." (Ninja).
_PERCENT = re.compile(r"^\[\s*(\d+)%\]")
_STEPS = re.compile(r"^\[(\d+)/(\d+)\]")


def build_jobs(environ=os.environ) -> str:
    """ZORMIX_BUILD_JOBS, else every core this process may run on."""
    if environ.get("ZORMIX_BUILD_JOBS"):
        return environ["ZORMIX_BUILD_JOBS"]
    try:
        return str(len(os.sched_getaffinity(0)))
    except AttributeError:  # not on Linux
        return str(os.cpu_count() or 1)


def build_dir(environ=os.environ) -> Path:
    """ZORMIX_BUILD_DIR, else build-python/ of the source tree."""
    given = environ.get("ZORMIX_BUILD_DIR")
    return Path(given).resolve() if given else ROOT / "build-python"


def percent_done(line: str):
    """How far the build is by one line of its output, in percent; None for other lines."""
    match = _PERCENT.match(line)
    if match:
        return int(match.group(1))
    match = _STEPS.match(line)
    if match and int(match.group(2)) > 0:
        return 100 * int(match.group(1)) // int(match.group(2))
    return None


def _terminal():
    """The terminal, written past pip's capture of the build's output; None without one."""
    try:
        return open("/dev/tty", "w")
    except OSError:
        return None


def _run_showing_progress(command, terminal) -> None:
    """Runs the build, its output on standard output (pip -v shows it) and its progress as one
    line on the terminal."""
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               text=True, bufsize=1)
    for line in process.stdout:
        sys.stdout.write(line)
        done = percent_done(line)
        if terminal is not None and done is not None:
            terminal.write(f"\rzormix: building the solver {done:3d}%")
            terminal.flush()
    if terminal is not None:
        terminal.write("\n")
        terminal.flush()
    if process.wait() != 0:
        raise subprocess.CalledProcessError(process.returncode, command)


def _build_extension(extension_path: str) -> None:
    directory = build_dir()
    jobs = build_jobs()
    # A new folder gets the settings of a release build of the module alone; a kept one keeps its
    # own, so that nothing is compiled again for a changed flag.
    fresh = []
    if not (directory / "CMakeCache.txt").exists():
        fresh = ["-DCMAKE_BUILD_TYPE=Release", "-DZORMIX_BUILD_TESTS=OFF"]
        if shutil.which("ninja"):
            fresh += ["-G", "Ninja"]
        if shutil.which("ccache"):
            fresh += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
    configure = [
        "cmake", "-S", str(ROOT), "-B", str(directory), *fresh, "-DZORMIX_PYTHON=ON",
        f"-DPython3_EXECUTABLE={sys.executable}",
        *shlex.split(os.environ.get("ZORMIX_CMAKE_ARGS", "")),
    ]
    terminal = _terminal()
    if terminal is not None:
        terminal.write(f"zormix: building the extension module in {directory} with {jobs} jobs "
                       "(the first build takes about 10 minutes on 2 cores; pip -v shows the "
                       "log)\n")
        terminal.flush()
    subprocess.run(configure, check=True)
    _run_showing_progress(
        ["cmake", "--build", str(directory), "--target", "_zormix", "-j", jobs], terminal)
    built = next((directory / "python" / "zormix").glob("_zormix*.so"))
    target = Path(extension_path)
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copyfile(built, target)


if __name__ == "__main__":
    from setuptools import Extension, setup
    from setuptools.command.build_ext import build_ext

    class CMakeBuild(build_ext):
        def build_extension(self, ext: Extension) -> None:
            _build_extension(self.get_ext_fullpath(ext.name))

    setup(ext_modules=[Extension("zormix._zormix", sources=[])],
          cmdclass={"build_ext": CMakeBuild})
