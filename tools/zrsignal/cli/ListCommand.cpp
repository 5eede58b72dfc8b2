// list: catalogue rows as tab-separated text or as JSON.
#include "cli/ListCommand.h"

#include <iostream>

#include <CLI/CLI.hpp>

#include "zrhost/FormulaJson.h"
#include "zrhost/CatalogueRows.h"

namespace zrsignal {

using zrhost::catalogueRowJson;
using zrhost::jsonText;

namespace {

// Tabs and line breaks inside a text would break the row apart.
std::string oneCell(std::string text)
{
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

const char* boolText(bool value)
{
    return value ? "true" : "false";
}

} // namespace

ListCommand::ListCommand(CLI::App& parent)
    : Command(parent, "list", "List the plug-in's functions in catalogue order")
{
}

void ListCommand::addOptions()
{
    app().add_flag("--json", json_, "A JSON array of objects instead of tab-separated rows");
    app().add_flag("--all", all_, "Add the default parser's operators and functions");
    app().add_option("PATTERN", pattern_,
                     "Only the rows whose name contains PATTERN or whose description has all its words");
}

int ListCommand::run()
{
    listCatalogue(std::cout, json_, all_, pattern_);
    return 0;
}

void listCatalogue(std::ostream& out, bool asJson, bool withDefaults, std::string_view pattern)
{
    std::vector<zrhost::CatalogueRow> rows;
    for (zrhost::CatalogueRow& row : zrhost::catalogueRows(withDefaults)) {
        if (zrhost::matchesPattern(row, pattern))
            rows.push_back(std::move(row));
    }

    if (!asJson) {
        for (const zrhost::CatalogueRow& row : rows) {
            out << row.index << '\t' << oneCell(row.symbol) << '\t' << oneCell(row.id) << '\t' << oneCell(row.help)
                << '\t' << row.args << '\t' << boolText(row.constant) << '\t' << boolText(row.shareable) << '\t'
                << oneCell(row.description);
            if (withDefaults)
                out << '\t' << row.origin;
            out << '\n';
        }
        return;
    }
    // One object per line, so that the list reads and diffs well.
    out << "[\n";
    for (std::size_t i = 0; i < rows.size(); ++i)
        out << "  " << jsonText(catalogueRowJson(rows[i], withDefaults)) << (i + 1 < rows.size() ? ",\n" : "\n");
    out << "]\n";
}

} // namespace zrsignal
