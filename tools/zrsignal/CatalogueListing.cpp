// Reads the catalogue through the plug-in interface, as the library's loader does.
#include "CatalogueListing.h"

#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "zrparser/ZrUtf8.h"
#include "ValueWriters.h"
#include "zrparser/ZrParser.h"
#include "SignalModule.h"

namespace zrsignal {

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
    do {
        if (description.find(word) == std::string::npos)
            return std::nullopt;
    } while (words >> word);
    return 2;
}

bool matchesPattern(const CatalogueRow& row, std::string_view pattern)
{
    return matchRank(row, pattern).has_value();
}

std::string catalogueRowJson(const CatalogueRow& row, bool withOrigin)
{
    std::string json = "{\"index\":" + std::to_string(row.index) + ",\"symbol\":" + jsonString(row.symbol) +
                       ",\"id\":" + jsonString(row.id) + ",\"help\":" + jsonString(row.help) +
                       ",\"args\":" + std::to_string(row.args) + ",\"constant\":" + boolText(row.constant) +
                       ",\"shareable\":" + boolText(row.shareable) + ",\"description\":" + jsonString(row.description);
    if (withOrigin)
        json += ",\"origin\":" + jsonString(row.origin);
    return json + "}";
}

void listCatalogue(std::ostream& out, bool asJson, bool withDefaults, std::string_view pattern)
{
    std::vector<CatalogueRow> rows;
    for (CatalogueRow& row : catalogueRows(withDefaults)) {
        if (matchesPattern(row, pattern))
            rows.push_back(std::move(row));
    }

    if (!asJson) {
        for (const CatalogueRow& row : rows) {
            out << row.index << '\t' << oneCell(row.symbol) << '\t' << oneCell(row.id) << '\t' << oneCell(row.help)
                << '\t' << row.args << '\t' << boolText(row.constant) << '\t' << boolText(row.shareable) << '\t'
                << oneCell(row.description);
            if (withDefaults)
                out << '\t' << row.origin;
            out << '\n';
        }
        return;
    }
    out << "[\n";
    for (std::size_t i = 0; i < rows.size(); ++i)
        out << "  " << catalogueRowJson(rows[i], withDefaults) << (i + 1 < rows.size() ? ",\n" : "\n");
    out << "]\n";
}

} // namespace zrsignal
