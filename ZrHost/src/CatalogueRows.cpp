// Reads the catalogue through the plug-in interface, as the library's loader does.
#include "zrhost/CatalogueRows.h"

#include <algorithm>
#include <memory>
#include <sstream>

#include "zrhost/CatalogueKeywords.h"
#include "zrhost/SignalModule.h"
#include "zrparser/ZrParser.h"
#include "zrparser/ZrUtf8.h"

namespace zrhost {

namespace {

CatalogueRow describeItem(int index, const ZrParserItemI& item, int args, bool shareable, const char* origin)
{
    return {index,         zr::toUtf8(item.getSymbol()), zr::toUtf8(item.getID()), zr::toUtf8(item.getHelpString()), args,
            item.isConstant(), shareable,          zr::toUtf8(item.getDescription()), origin};
}

std::vector<CatalogueRow> pluginRows()
{
    std::vector<CatalogueRow> rows;
    const zr::ComPtr<IZrParserPlugin> plugin = createSignalPlugin();
    int count = 0;
    plugin->getNbFuncs(&count);
    for (int i = 0; i < count; ++i) {
        ZrFunctionI* created = nullptr;
        const zr::HRESULT hr = plugin->createFunc(i, &created);
        const std::unique_ptr<ZrFunctionI> func(created);
        if (zr::succeeded(hr) && func)
            rows.push_back(describeItem(i, *func, func->getNbArgs(), func->isShareable(), "plugin"));
    }
    return rows;
}

// ASCII letters in lower case: searches ignore case without depending on the locale.
std::string folded(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

} // namespace

// Operators serve every use, so they count as shareable.
void appendParserRows(std::vector<CatalogueRow>& rows, ZrParser& parser)
{
    for (unsigned i = 0; i < parser.getNbDefinedOps(); ++i) {
        const ZrOperatorI* op = parser.getOp(i);
        rows.push_back(describeItem(static_cast<int>(i), *op, op->isUnaryOp() ? 1 : 2, true, "operator"));
    }
    appendFunctionRows(rows, parser);
}

void appendFunctionRows(std::vector<CatalogueRow>& rows, ZrParser& parser)
{
    for (unsigned i = 0; i < parser.getNbDefinedFuncs(); ++i) {
        const ZrFunctionI* func = parser.getFunc(i);
        rows.push_back(describeItem(static_cast<int>(i), *func, func->getNbArgs(), func->isShareable(), "function"));
    }
}

std::vector<CatalogueRow> catalogueRows(bool withDefaults)
{
    std::vector<CatalogueRow> rows = pluginRows();
    if (withDefaults) {
        ZrParser defaults;
        appendParserRows(rows, defaults);
    }
    return rows;
}

std::vector<CatalogueRow> overloadsOf(const std::vector<CatalogueRow>& rows, std::string_view symbol)
{
    std::vector<CatalogueRow> overloads;
    for (const CatalogueRow& row : rows) {
        if (row.symbol == symbol)
            overloads.push_back(row);
    }
    // Unsigned order puts -1, "any number", last.
    std::stable_sort(overloads.begin(), overloads.end(), [](const CatalogueRow& a, const CatalogueRow& b) {
        return static_cast<unsigned>(a.args) < static_cast<unsigned>(b.args);
    });
    return overloads;
}

std::optional<int> matchRank(const CatalogueRow& row, std::string_view pattern)
{
    const std::string wanted = folded(pattern);
    std::istringstream words(wanted);
    std::string word;
    if (!(words >> word))
        return 0;
    const std::string symbol = folded(row.symbol);
    if (symbol == wanted)
        return 0;
    if (symbol.find(wanted) != std::string::npos)
        return 1;
    const std::string description = folded(row.description);
    // The description's words first; then with the keywords people use for the effect.
    const std::string described = description + " " + std::string(catalogueKeywords(row.symbol));
    int rank = 2;
    do {
        if (description.find(word) != std::string::npos)
            continue;
        if (described.find(word) == std::string::npos)
            return std::nullopt;
        rank = 3;
    } while (words >> word);
    return rank;
}

bool matchesPattern(const CatalogueRow& row, std::string_view pattern)
{
    return matchRank(row, pattern).has_value();
}

} // namespace zrhost
