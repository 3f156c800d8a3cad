"""Builds orvane_site with the project's CMake (the extension target only) and packages it."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent.parent
VERSION = re.search(r"project\(orvane-site VERSION ([0-9.]+)",
                    (ROOT / "CMakeLists.txt").read_text()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        tree = pathlib.Path(self.build_temp).resolve() / "cmake"
        configure = ["cmake", "-S", str(ROOT), "-B", str(tree), "-DCMAKE_BUILD_TYPE=Release",
                     "-DORVANE_SITE_BUILD_TESTS=OFF", "-DORVANE_SITE_BUILD_PYTHON=ON",
                     f"-DPython_EXECUTABLE={sys.executable}"]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
        subprocess.check_call(configure)
        subprocess.check_call(["cmake", "--build", str(tree), "--target", "orvane-site-python",
                               "-j", os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")])
        built = next((tree / "components" / "python" / "orvane_site").glob("_native*.so"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built, target)


setup(
    name="orvane-site",
    version=VERSION,
    description="Python client of the Orvane place-search service, over the C++ library",
    python_requires=">=3.8",
    packages=["orvane_site"],
    package_data={"orvane_site": ["*.pyi", "py.typed"]},
    ext_modules=[Extension("orvane_site._native", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    extras_require={"geopy": ["geopy>=2"]},
    zip_safe=False,
)
