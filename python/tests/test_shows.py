# Shows run from Python give the bytes of zrsignal run --print csv; variables and formulas change
# through the show's commands, with their refusals.
import numpy as np
import pytest

import zrsignal
from conftest import write_csv

FRAMES = 90
KICKS = np.tile([0.0, 90.0, 10.0, 0.0, 95.0, 5.0], FRAMES // 6)

# Two universes, a group of four, 16-bit channels and a show variable that commands may set.
SHOW = """
fps = 40
[variables]
master = 80
[[output]]
universe = 1
protocol = "sacn"
address = "127.0.0.1"
[[output]]
universe = 3
protocol = "sacn"
address = "127.0.0.1"
[[fixture]]
name = "pars"
universe = 1
address = 1
count = 4
channels = [
  { name = "dimmer", formula = "master * __fadeoutlinear(10, counter(0, 3, __clock(0.5)) == index)" },
  { name = "tilt", formula = "50 + 50 * __sin(__timeInc() / 4 + index)", width = 16 },
]
[[fixture]]
name = "wash"
universe = 3
address = 510
channels = [ { name = "red", formula = "rand() % 100" }, { name = "green", formula = "timer(3000) % 100" } ]
"""


def cli_slots(program, show, frames, *options):
    """zrsignal run --print csv as an array (frames, universes, 512)."""
    out = program("run", show, "--print", "csv", "--clock", "sim", "--frames", frames, *options).stdout
    rows = np.array([[int(v) for v in line.split(",")] for line in out.splitlines()[1:]], dtype=np.int64)
    universes = len(np.unique(rows[:, 1]))
    assert (rows[:, 0] == np.repeat(np.arange(frames), universes)).all()
    return rows[:, 2:].astype(np.uint8).reshape(frames, universes, 512), list(rows[:universes, 1])


@pytest.fixture
def show_file(tmp_path):
    path = tmp_path / "show.toml"
    path.write_text(SHOW)
    return path


@pytest.mark.parametrize("threads", [1, 3])
def test_slots_equal_run_print_csv(program, show_file, threads):
    expected, universes = cli_slots(program, show_file, FRAMES, "--seed", 11, "--threads", threads)
    show = zrsignal.Show(str(show_file), seed=11, threads=threads)
    assert show.universes == universes
    slots = show.run(FRAMES)
    assert slots.dtype == np.uint8 and slots.shape == (FRAMES, 2, 512)
    np.testing.assert_array_equal(slots, expected)


def test_example_show_with_input_equals_run_print_csv(program, examples, tmp_path):
    levels = write_csv(tmp_path / "level.csv", {"level": KICKS})
    expected, _ = cli_slots(program, examples / "show.toml", FRAMES, "--input", levels)
    show = zrsignal.Show(str(examples / "show.toml"), input=str(levels))
    np.testing.assert_array_equal(show.run(FRAMES), expected)


@pytest.mark.parametrize("show_name", ["show.toml", "example"])
def test_runs_in_steps_equal_one_run(show_file, examples, tmp_path, show_name):
    # The clock and the input rows go on from step to step.
    levels = str(write_csv(tmp_path / "level.csv", {"level": KICKS}))
    path, feed = (str(show_file), {}) if show_name == "show.toml" else (str(examples / "show.toml"), {"input": levels})
    whole = zrsignal.Show(path, seed=3, **feed).run(FRAMES)
    show = zrsignal.Show(path, seed=3, **feed)
    steps = [show.run(n) for n in (1, 40, 0, FRAMES - 41)]
    np.testing.assert_array_equal(np.concatenate(steps), whole)
    assert show.frame == FRAMES


def test_edits_take_effect_as_a_show_file_with_them(program, show_file, tmp_path):
    edited = tmp_path / "edited.toml"
    edited.write_text(SHOW.replace("master = 80", "master = 30").replace('"timer(3000) % 100"', '"index * 10 + 7"'))
    expected, _ = cli_slots(program, edited, FRAMES, "--seed", 5)
    show = zrsignal.Show(str(show_file), seed=5)
    show.set("master", 30)
    show.edit("wash", 0, "green", "index * 10 + 7")
    np.testing.assert_array_equal(show.run(FRAMES), expected)
    assert any("now index * 10 + 7" in message for message in show.messages())


@pytest.mark.parametrize("change,error,words", [
    (lambda s: s.set("master", float("nan")), ValueError, "takes a finite number"),
    (lambda s: s.set("level", 1.0), ValueError, "no variable 'level'"),
    (lambda s: s.edit("pars", 4, "dimmer", "1"), ValueError, "no fixture 'pars' number 4"),
    (lambda s: s.edit("pars", 0, "dimmer", "  "), ValueError, "the formula is empty"),
    (lambda s: s.request("/zr/tap"), ValueError, "does not come from taps"),
    (lambda s: s.edit("pars", 1, "dimmer", "counter(0, 3"), zrsignal.FormulaError, "MissingCloseBracket"),
])
def test_refused_changes_leave_the_show_running(show_file, change, error, words):
    reference = zrsignal.Show(str(show_file), seed=2).run(10)
    show = zrsignal.Show(str(show_file), seed=2)
    with pytest.raises(error, match=words):
        change(show)
    np.testing.assert_array_equal(show.run(10), reference)


def test_bad_show_files_raise_clear_errors(program, tmp_path):
    with pytest.raises(FileNotFoundError, match="show file not found"):
        zrsignal.Show(str(tmp_path / "missing.toml"))
    bad = tmp_path / "bad.toml"
    bad.write_text(SHOW.replace('"rand() % 100"', '"rand( % 100"').replace("count = 4", "count = -4"))
    with pytest.raises(zrsignal.ShowError) as refused:
        zrsignal.Show(str(bad))
    problems = refused.value.problems
    assert len(problems) == 2
    assert problems[0].startswith(f"{bad}:") and "'count' is -4" in problems[0]
    assert problems[1].endswith("rand( % 100\n      ^") and "ZRPARSINGEXCEP_" in problems[1]
    done = program("run", bad, "--print", "csv", "--clock", "sim", "--frames", 1, check=False)
    assert done.returncode == 1 and done.stderr.startswith(str(refused.value))


def test_a_closed_show_runs_no_more(show_file):
    with zrsignal.Show(str(show_file)) as show:
        show.run(2)
    with pytest.raises(ValueError, match="closed"):
        show.run(1)
