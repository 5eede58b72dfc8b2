# What the tests share: the zrsignal program they compare the package with, and CSV input files.
import os
import subprocess
from pathlib import Path

import pytest


@pytest.fixture(scope="session")
def program():
    """The built zrsignal program (its path comes from CMake), as a function that runs it."""
    path = os.environ.get("ZRSIGNAL_PROGRAM")
    if not path or not Path(path).is_file():
        pytest.fail("ZRSIGNAL_PROGRAM must name the built zrsignal program")

    def run(*args, check=True):
        done = subprocess.run([path, *map(str, args)], capture_output=True, text=True, timeout=120)
        if check and done.returncode != 0:
            raise AssertionError(f"zrsignal {' '.join(map(str, args))} failed:\n{done.stderr}")
        return done

    return run


@pytest.fixture(scope="session")
def examples():
    return Path(os.environ.get("ZRSIGNAL_EXAMPLES", Path(__file__).resolve().parents[2] / "examples"))


def write_csv(path, columns):
    """Columns of numbers as a CSV file, each number in the shortest text that reads back as it."""
    names = list(columns)
    rows = zip(*(columns[name] for name in names))
    path.write_text(",".join(names) + "\n" + "".join(",".join(repr(float(v)) for v in row) + "\n" for row in rows))
    return path
