// Describes each overload of one name from the catalogue a formula can use.
#include "cli/HelpCommand.h"

#include <iostream>

#include <CLI/CLI.hpp>

#include "cli/CommandLineHints.h"
#include "zrhost/FormulaCatalogue.h"
#include "zrhost/FormulaHints.h"

namespace zrsignal {

using zrhost::CatalogueRow;

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
    out << "  origin       " << zrhost::originText(row) << '\n';
    if (!row.description.empty())
        out << "  " << row.description << '\n';
}

} // namespace

HelpCommand::HelpCommand(CLI::App& parent)
    : Command(parent, "help", "Describe every overload of a function or operator")
{
}

void HelpCommand::addOptions()
{
    app().add_option("NAME", name_, "The function or operator, e.g. counter")->required();
}

int HelpCommand::run()
{
    return printHelp(std::cout, std::cerr, name_);
}

int printHelp(std::ostream& out, std::ostream& err, const std::string& name)
{
    const std::vector<CatalogueRow> catalogue = zrhost::formulaCatalogue();
    const std::vector<CatalogueRow> rows = zrhost::overloadsOf(catalogue, name);
    if (rows.empty()) {
        err << "zrsignal: no function or operator is called '" << name << "'\n";
        // Operators take part too: "help =" suggests "==".
        zrhost::FormulaNames names;
        names.functions = catalogue;
        const zrhost::HintSubject unknown{zrhost::HintSubject::Kind::UnknownFunction, name, 0};
        for (const std::string& hint : zrhost::formulaHints(unknown, names, commandLineHints()))
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
