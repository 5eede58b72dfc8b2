# Refused formulas and definitions raise FormulaError with the chain, the position and the text
# zrsignal prints.
import pytest

import zrsignal

REFUSED = [
    "counter(0, 7, onbeat(lvl))",
    "1 + (2 * 3",
    "sin(1,2)",
    "counter(0, 7)",
    "2 ** 3",
    "if(x > 1, 2)",
    "loop(8, 1, __sin(0.1), nope)",
]


def cli_failure(program, formula):
    done = program("eval", "--var", "x=1", "--", formula, check=False)
    assert done.returncode == 2, done.stderr
    lines = done.stderr.rstrip("\n").split("\n")
    return done.stderr.rstrip("\n"), lines


@pytest.mark.parametrize("formula", REFUSED)
def test_refused_formula_carries_the_command_lines_report(program, formula):
    parser = zrsignal.Parser()
    parser.define_var("x", 1.0)
    with pytest.raises(zrsignal.FormulaError) as refused:
        parser.compile(formula)
    error = refused.value
    text, lines = cli_failure(program, formula)
    assert str(error) == text
    assert [f"{i}: {d}" for i, d in error.entries] == lines[:len(error.entries)]
    assert error.subject == formula
    caret = [line for line in lines[len(error.entries) + 1:] if line.strip() == "^"]
    assert error.position == (caret[0].index("^") if caret else None)


@pytest.mark.parametrize("formula,ids,position", [
    ("counter(0, 7, onbeat(lvl))", ["ZRPARSINGEXCEP_UndefinedVar"], 21),
    ("1 + (2 * 3", ["ZRPARSINGEXCEP_MissingCloseBracket"], 4),
])
def test_ids_and_positions(formula, ids, position):
    with pytest.raises(zrsignal.FormulaError) as refused:
        zrsignal.Parser().compile(formula)
    assert refused.value.ids == ids and refused.value.position == position


def test_hints_are_apart_from_the_text():
    with pytest.raises(zrsignal.FormulaError) as refused:
        zrsignal.Parser().compile("countr(0, 7, 1)")
    assert any("counter" in hint for hint in refused.value.hints)
    assert "hint" not in str(refused.value)


@pytest.mark.parametrize("define,cli_option", [
    (lambda p: p.define_var("a b", 1.0), "--var=a b=1"),
    (lambda p: p.define_var("x+y", 1.0), "--var=x+y=1"),
    (lambda p: p.define_const("a b", 1.0), "--const=a b=1"),
    (lambda p: p.define_macro("f(a", "a*2"), "--macro=f(a=a*2"),
    (lambda p: p.define_macro("f(a)", "a*"), "--macro=f(a)=a*"),
])
def test_refused_definitions(program, define, cli_option):
    parser = zrsignal.Parser()
    with pytest.raises(zrsignal.FormulaError) as refused:
        define(parser)
    done = program("eval", cli_option, "1", check=False)
    assert done.returncode == 2
    assert str(refused.value) == done.stderr.rstrip("\n")
    assert parser.compile("1 + 1").evaluate() == 2.0  # the refused definition left nothing behind


def test_catalogue_lists_what_the_command_line_lists(program):
    rows = zrsignal.catalogue()
    listed = [line.split("\t") for line in program("list").stdout.splitlines() if line.strip()]
    plugin = [row for row in rows if row.origin == "signal plug-in"]
    assert [(row.symbol, row.prototype, row.args, row.constant, row.shareable, row.description) for row in plugin] == \
        [(cols[1], cols[3], int(cols[4]), cols[5] == "true", cols[6] == "true", cols[7]) for cols in listed]
    assert {"operator", "the host program"} <= {row.origin for row in rows}
    counter = [row for row in rows if row.prototype == "counter(from, to, incrementNow)"]
    assert len(counter) == 1 and counter[0].args == 3 and not counter[0].shareable
