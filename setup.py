"""Builds the extensions phasemap._core and, when CGAL is found, phasemap._engine with CMake
(the same build as the program's) and puts them into the package; the metadata is in
pyproject.toml."""
import os
import pathlib
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = pathlib.Path(__file__).resolve().parent


TARGETS = {"phasemap._core": "phasemap_python", "phasemap._engine": "phasemap_engine_python"}


class CMakeBuild(build_ext):
    def build_extension(self, extension):
        build = pathlib.Path(self.build_temp) / "cmake"
        subprocess.run(
            [
                "cmake",
                "-S",
                str(SOURCE),
                "-B",
                str(build),
                "-DCMAKE_BUILD_TYPE=Release",
                "-DPHASEMAP_TESTS=OFF",
                f"-DPython_EXECUTABLE={sys.executable}",
            ],
            check=True,
        )
        target_name = TARGETS[extension.name]
        if not (build / "python" / "CMakeFiles" / f"{target_name}.dir").exists():
            print(f"{extension.name} is not built: CGAL was not found (Debian: libcgal-dev)")
            return
        # As many jobs as cores: a bare -j would let make start any number at once.
        jobs = str(os.cpu_count() or 1)
        subprocess.run(
            ["cmake", "--build", str(build), "--target", target_name, "-j", jobs], check=True
        )
        name = extension.name.split(".")[-1]
        built = next((build / "python" / "phasemap").glob(f"{name}*.so"))
        target = pathlib.Path(self.get_ext_fullpath(extension.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        self.copy_file(str(built), str(target))


setup(
    ext_modules=[Extension(name, sources=[]) for name in TARGETS],
    cmdclass={"build_ext": CMakeBuild},
)
