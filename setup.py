"""Builds the extension module zormix._zormix with CMake (the project's own build), so that the
package holds the same solver as the command line. Used by pip through pyproject.toml.

Environment: ZORMIX_CMAKE_ARGS adds CMake arguments; ZORMIX_BUILD_JOBS sets the parallel jobs
(default: the number of cores)."""

import os
import shlex
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    def build_extension(self, ext: Extension) -> None:
        build_dir = Path(self.build_temp).resolve() / "cmake"
        generator = ["-G", "Ninja"] if shutil.which("ninja") else []
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build_dir), *generator,
            "-DCMAKE_BUILD_TYPE=Release", "-DZORMIX_PYTHON=ON", "-DZORMIX_BUILD_TESTS=OFF",
            f"-DPython3_EXECUTABLE={sys.executable}",
            *shlex.split(os.environ.get("ZORMIX_CMAKE_ARGS", "")),
        ]
        jobs = os.environ.get("ZORMIX_BUILD_JOBS", str(os.cpu_count() or 1))
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "_zormix", "-j", jobs],
                       check=True)
        built = next((build_dir / "python" / "zormix").glob("_zormix*.so"))
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(ext_modules=[Extension("zormix._zormix", sources=[])], cmdclass={"build_ext": CMakeBuild})
