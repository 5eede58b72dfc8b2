// Describes each overload of one name from the catalogue a formula can use.
#include "HelpCommand.h"

#include <ostream>

#include "FormulaCatalogue.h"
#include "FormulaHints.h"

namespace zrsignal {

namespace {

void describe(std::ostream& out, const CatalogueRow& row)
{
    out << row.help << '\n';
    out << "  arguments    " << (row.args < 0 ? std::string("any number") : std::to_string(row.args)) << '\n';
    out << "  constant     "
        << (row.constant ? "yes: with constant arguments it is computed once, when the formula compiles"
                         : "no: it may give another value at every frame")
        << '\n';
    out << "  shareable    "
        << (row.shareable ? "yes: one instance serves every call" : "no: each call in a formula keeps its own state")
        << '\n';
    out << "  origin       " << originText(row) << '\n';
    if (!row.description.empty())
        out << "  " << row.description << '\n';
}

} // namespace

int printHelp(std::ostream& out, std::ostream& err, const std::string& name)
{
    const std::vector<CatalogueRow> catalogue = formulaCatalogue();
    const std::vector<CatalogueRow> rows = rowsFor(catalogue, name);
    if (rows.empty()) {
        err << "zrsignal: no function or operator is called '" << name << "'\n";
        // Operators take part too: "help =" suggests "==".
        FormulaNames names;
        for (const CatalogueRow& row : catalogue)
            names.functions.push_back({row.symbol, row.help, row.args});
        const HintSubject unknown{HintSubject::Kind::UnknownFunction, name, 0};
        for (const std::string& hint : formulaHints(unknown, names, VariableSources::CommandLine))
            err << hint << '\n';
        return 1;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0)
            out << '\n';
        describe(out, rows[i]);
    }
    return 0;
}

} // namespace zrsignal
