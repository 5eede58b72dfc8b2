# Formulas run from Python give zrsignal eval's values bit for bit; their state goes on from run
# to run; bad inputs raise clear errors.
import threading

import numpy as np
import pytest

import zrsignal
from conftest import write_csv

FRAMES = 120
RAMP = np.linspace(-3.0, 117.0, FRAMES)
KICKS = np.tile([0.0, 90.0, 10.0, 0.0, 95.0, 5.0], FRAMES // 6)

# formula, inputs (name -> array or scalar), extra parser set-up
FORMULAS = [
    ("counter(0, 7, onbeat(level))", {"level": KICKS}),
    ("__fadeoutlinear(12, onbeat(level))", {"level": KICKS}),
    ("loop(8, 1, __sin(0.1), __triangle(0.05))", {}),
    ("__sin(0.1)*50+50", {}),
    ("x * 2 + level / 3", {"x": RAMP, "level": KICKS}),
    ("if(x > 50, x % 7, -x)", {"x": RAMP}),
    ("motor.pan(360 + 60 * __sin(__timeInc() / 8), 540)", {}),
    ("rgb.red.hsi((x * 3) % 100, 100, 50)", {"x": RAMP}),
    ("timer(2500)", {}),
    ("x + 1", {"x": 2.5}),
]


def parser_with(inputs, **options):
    parser = zrsignal.Parser(**options)
    for name in inputs:
        parser.define_var(name, 0.0)
    return parser


def cli_values(program, tmp_path, formula, inputs, *options):
    arrays = {n: v for n, v in inputs.items() if np.ndim(v) == 1}
    args = ["eval", "--frames", FRAMES, *options]
    if arrays:
        args += ["--input", write_csv(tmp_path / "in.csv", arrays)]
    for name, value in inputs.items():
        if np.ndim(value) == 0:
            args += ["--var", f"{name}={value!r}"]
    return np.array([float(line) for line in program(*args, "--", formula).stdout.split()])


@pytest.mark.parametrize("formula,inputs", FORMULAS)
def test_values_equal_the_command_line(program, tmp_path, formula, inputs):
    values = parser_with(inputs).compile(formula).run(FRAMES, **inputs)
    assert values.dtype == np.float64 and values.shape == (FRAMES,)
    np.testing.assert_array_equal(values, cli_values(program, tmp_path, formula, inputs))


@pytest.mark.parametrize("options,cli_options,formula", [
    ({"fps": 25.0}, ["--fps", "25"], "loop(2, 1, __sin(0.2), 0)"),
    ({"seed": 7}, ["--seed", "7"], "rand() + rand()"),
])
def test_fps_and_seed_as_the_command_line_has_them(program, tmp_path, options, cli_options, formula):
    values = zrsignal.Parser(**options).compile(formula).run(FRAMES)
    np.testing.assert_array_equal(values, cli_values(program, tmp_path, formula, {}, *cli_options))


def test_constants_and_macros_as_the_command_line_defines_them(program, tmp_path):
    parser = parser_with({"level": KICKS})
    parser.define_const("step", 2.5)
    parser.define_macro("chase(v)", "counter(0, 7, onbeat(v)) * step")
    values = parser.compile("chase(level)").run(level=KICKS)
    expected = cli_values(program, tmp_path, "chase(level)", {"level": KICKS},
                          "--const", "step=2.5", "--macro", "chase(v)=counter(0, 7, onbeat(v)) * step")
    np.testing.assert_array_equal(values, expected)


def test_state_goes_on_from_run_to_run_and_reset_starts_over():
    parser = parser_with({"level": KICKS})
    whole = parser.compile("counter(0, 100, onbeat(level)) + timer(700)").run(level=KICKS)
    formula = parser.compile("counter(0, 100, onbeat(level)) + timer(700)")
    first = formula.run(level=KICKS[:50])
    one = formula.evaluate()  # frame 50; level still holds the last value given
    rest = formula.run(level=KICKS[51:])
    np.testing.assert_array_equal(np.concatenate([first, [one], rest]), whole)
    assert formula.frame == FRAMES
    formula.reset()
    assert formula.frame == 0
    np.testing.assert_array_equal(formula.run(level=KICKS), whole)


def test_bare_parser_has_the_default_functions_only():
    parser = zrsignal.Parser(bare=True)
    assert parser.compile("2 + 3 * 4").evaluate() == 14.0
    for text in ("counter(0, 7, 1)", "__timeInc()"):
        with pytest.raises(zrsignal.FormulaError) as refused:
            parser.compile(text)
        assert refused.value.ids == ["ZRPARSINGEXCEP_UndefinedFunc"]


@pytest.mark.parametrize("call,error,words", [
    (lambda f: f.run(10, level=np.zeros(9)), ValueError, "has 9 values for 10 frames"),
    (lambda f: f.run(level=np.array([0.0, 1.0, np.nan])), ValueError, "NaN at frame 2"),
    (lambda f: f.run(3, level=float("nan")), ValueError, "NaN"),
    (lambda f: f.run(3, levle=np.zeros(3)), ValueError, "no variable 'levle'"),
    (lambda f: f.run(3, level=np.zeros((3, 2))), ValueError, "one-dimensional"),
    (lambda f: f.run(3, level="loud"), TypeError, "must be a number or a one-dimensional array"),
    (lambda f: f.run(), ValueError, "needs frames"),
    (lambda f: f.run(3, fps=0), ValueError, "fps must be"),
])
def test_bad_inputs_raise_clear_errors(call, error, words):
    formula = parser_with({"level": KICKS}).compile("level * 2")
    with pytest.raises(error, match=words):
        call(formula)
    assert formula.run(2, level=np.array([1.0, 2.0])).tolist() == [2.0, 4.0]  # still usable


def test_run_releases_the_gil_while_frames_run():
    # Another thread sees the frame count between a run's start and its end only if run() lets
    # it take the GIL while frames run. A busy machine may not schedule it in time: a few tries.
    frames = 2_000_000
    formula = zrsignal.Parser().compile("loop(4, 1, __sin(0.3) * __cos(0.7), __triangle(0.05)) + __sin(0.01)")
    seen_inside = None
    for _ in range(5):
        start = formula.frame
        worker = threading.Thread(target=formula.run, args=(frames,))
        worker.start()
        while worker.is_alive() and seen_inside is None:
            if start < formula.frame < start + frames:
                seen_inside = formula.frame
        worker.join(120)
        assert not worker.is_alive() and formula.frame == start + frames
        if seen_inside is not None:
            break
    assert seen_inside is not None
