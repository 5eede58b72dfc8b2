// JSON values of numbers, catalogue rows and library failures.
#include "zrhost/FormulaJson.h"

#include <cmath>

#include "zrhost/CatalogueRows.h"
#include "zrhost/FormulaHints.h"
#include "zrhost/LibraryFailure.h"
#include "zrhost/NumberText.h"

namespace zrhost {

Json jsonNumber(double value)
{
    if (std::isfinite(value))
        return value;
    return formatNumber(value);
}

Json jsonNumbers(const std::vector<double>& values)
{
    Json array = Json::array();
    for (double value : values)
        array.push_back(jsonNumber(value));
    return array;
}

Json catalogueRowJson(const CatalogueRow& row, bool withOrigin)
{
    Json json = {
        {"index", row.index},         {"symbol", row.symbol},       {"id", row.id},
        {"help", row.help},           {"args", row.args},           {"constant", row.constant},
        {"shareable", row.shareable}, {"description", row.description},
    };
    if (withOrigin)
        json["origin"] = row.origin;
    return json;
}

Json failureJson(const LibraryFailure& failure, const std::vector<std::string>& suggestions)
{
    const auto column = failure.caretColumn();
    return {
        {"name", hintSubjectOf(failure).name},
        {"lines", failure.entryLines()},
        {"subject", failure.subject()},
        {"column", column ? Json(*column) : Json(nullptr)},
        {"hints", failure.hints()},
        {"suggestions", suggestions},
    };
}

std::string jsonText(const Json& json)
{
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace zrhost
