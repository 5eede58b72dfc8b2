// Reads the catalogue through the plug-in interface, as the library's loader does.
#include "CatalogueListing.h"

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "zrparser/ZrUtf8.h"
#include "ValueWriters.h"
#include "zrparser/ZrParser.h"
#include "SignalModule.h"

namespace zrsignal {

namespace {

struct CatalogueRow {
    int index;
    std::string symbol;
    std::string id;
    std::string help;
    int args;
    bool constant;
    bool shareable;
    std::string description;
    const char* origin;
};

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

// A default parser's own items; operators serve every use, so they count as shareable.
void appendDefaultRows(std::vector<CatalogueRow>& rows)
{
    ZrParser parser;
    for (unsigned i = 0; i < parser.getNbDefinedOps(); ++i) {
        const ZrOperatorI* op = parser.getOp(i);
        rows.push_back(describeItem(static_cast<int>(i), *op, op->isUnaryOp() ? 1 : 2, true, "operator"));
    }
    for (unsigned i = 0; i < parser.getNbDefinedFuncs(); ++i) {
        const ZrFunctionI* func = parser.getFunc(i);
        rows.push_back(describeItem(static_cast<int>(i), *func, func->getNbArgs(), func->isShareable(), "function"));
    }
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

} // namespace

void listCatalogue(std::ostream& out, bool asJson, bool withDefaults)
{
    std::vector<CatalogueRow> rows = pluginRows();
    if (withDefaults)
        appendDefaultRows(rows);

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
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const CatalogueRow& row = rows[i];
        out << "  {\"index\":" << row.index << ",\"symbol\":" << jsonString(row.symbol) << ",\"id\":"
            << jsonString(row.id) << ",\"help\":" << jsonString(row.help) << ",\"args\":" << row.args
            << ",\"constant\":" << boolText(row.constant) << ",\"shareable\":" << boolText(row.shareable)
            << ",\"description\":" << jsonString(row.description);
        if (withDefaults)
            out << ",\"origin\":" << jsonString(row.origin);
        out << (i + 1 < rows.size() ? "},\n" : "}\n");
    }
    out << "]\n";
}

} // namespace zrsignal
