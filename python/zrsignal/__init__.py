"""Lighting formulas and shows from Python: compile a formula once, run it frame after frame on
NumPy arrays, and run show files into arrays of DMX slots."""


class FormulaError(Exception):
    """A formula or definition the library refused.

    ``entries`` is the chain of catalogued messages as (id, description) pairs, outermost
    first; ``subject`` the text concerned; ``position`` the character of ``subject`` the failure
    lies at (None when it has none); ``hints`` lines that help on (similar names, argument
    lists). ``str()`` gives the catalogued lines, the text and the caret, as zrsignal prints them.
    """

    def __init__(self, text, entries, subject, position, hints):
        super().__init__(text)
        self.entries = [tuple(entry) for entry in entries]
        self.subject = subject
        self.position = position
        self.hints = list(hints)

    @property
    def ids(self):
        """The catalogued ids of the chain, outermost first."""
        return [entry_id for entry_id, _ in self.entries]


class ShowError(Exception):
    """A show file that cannot run; ``problems`` lists every problem found, each as
    "FILE:LINE: message"."""

    def __init__(self, text, problems, path):
        super().__init__(text)
        self.problems = list(problems)
        self.path = path


from ._zrsignal import CatalogueEntry, Formula, Parser, Show, catalogue  # noqa: E402

__all__ = ["CatalogueEntry", "Formula", "FormulaError", "Parser", "Show", "ShowError", "catalogue"]
