# The build step of pip install ./python: CMake builds the module and the libraries it loads
# (only those targets) and installs them into the package, libraries in zrsignal/lib with the
# layout they have under a prefix, so the module finds the signal plug-in there.
import os
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

REPOSITORY = Path(__file__).resolve().parent.parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        staging = Path(self.build_temp).resolve() / "staging"
        package = Path(self.get_ext_fullpath(ext.name)).resolve().parent
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(["cmake", "-S", str(REPOSITORY), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DZR_BUILD_TESTS=OFF", "-DZR_BUILD_BENCHMARKS=OFF", "-DZR_BUILD_PYTHON=ON",
                        "-DZR_WITH_GPL=OFF", "-DZR_PYTHON_BUNDLE_LIBRARIES=ON", "-DZR_PYTHON_INSTALL_DIR=.",
                        f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "zrsignal_python", "-j", jobs], check=True)
        subprocess.run(["cmake", "--install", str(build), "--component", "python", "--prefix", str(staging)],
                       check=True)
        package.mkdir(parents=True, exist_ok=True)
        # A wheel holds no symbolic links: each library goes in once, under its soname.
        built = [path for path in (staging / "zrsignal").rglob("*") if path.is_file()]
        linked = {path.resolve() for path in built if path.is_symlink()}
        for path in built:
            if path.suffix in (".py", ".pyi", ".typed") or (not path.is_symlink() and path.resolve() in linked):
                continue
            target = package / path.relative_to(staging / "zrsignal")
            target.parent.mkdir(parents=True, exist_ok=True)
            self.copy_file(str(path), str(target))


setup(ext_modules=[Extension("zrsignal._zrsignal", sources=[])], cmdclass={"build_ext": CMakeBuild})
