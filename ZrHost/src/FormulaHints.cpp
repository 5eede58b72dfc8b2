// Choosing similar names and wording the hints that follow a refused formula.
#include "zrhost/FormulaHints.h"

#include <algorithm>
#include <cwchar>
#include <optional>
#include <tuple>

#include "zrhost/LibraryFailure.h"
#include "zrparser/ZrParser.h"
#include "zrparser/ZrUtf8.h"

namespace zrhost {

namespace {

// Names are compared by character, not by UTF-8 byte, and ASCII letters without case: the
// catalogue mixes "timedSequence" in help texts with "timedsequence" as the symbol.
std::wstring folded(std::string_view text)
{
    std::wstring wide = zr::fromUtf8(std::string(text));
    for (wchar_t& c : wide) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return wide;
}

std::size_t editDistanceOf(const std::wstring& a, const std::wstring& b)
{
    // Three rows of the classic table: the one before the previous serves the swaps.
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t substitution = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, substitution});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[b.size()];
}

// The distance when it is at most `allowed`, else nothing. Names whose lengths differ by more
// cannot be that close, so the table is not filled for them: a long name typed by mistake is
// compared with every name the parser knows.
std::optional<std::size_t> distanceWithin(const std::wstring& a, const std::wstring& b, std::size_t allowed)
{
    const std::size_t lengthGap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
    if (lengthGap > allowed)
        return std::nullopt;
    const std::size_t distance = editDistanceOf(a, b);
    return distance <= allowed ? std::optional<std::size_t>(distance) : std::nullopt;
}

bool endsWithPartOf(const std::wstring& candidate, const std::wstring& name)
{
    if (name.empty() || candidate.size() <= name.size() || !candidate.ends_with(name))
        return false;
    const wchar_t before = candidate[candidate.size() - name.size() - 1];
    return before == L'.' || before == L'_';
}

// "rgb.red.hsi" → "hsi", "__fadeinlinear" → "fadeinlinear".
std::wstring lastPart(const std::wstring& name)
{
    const auto dot = name.rfind(L'.');
    std::wstring part = dot == std::wstring::npos ? name : name.substr(dot + 1);
    const auto letters = part.find_first_not_of(L'_');
    return letters == std::wstring::npos ? part : part.substr(letters);
}

// How far a name may be from the one typed and still be offered: short names have many
// neighbours that mean nothing alike.
std::size_t allowedDistance(std::size_t length)
{
    if (length <= 2)
        return 0;
    if (length <= 4)
        return 1;
    return length <= 8 ? 2 : 3;
}

std::string joinAlternatives(const std::vector<std::string>& items)
{
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += i + 1 == items.size() ? " or " : ", ";
        text += items[i];
    }
    return text;
}

std::string argumentCountText(int arguments)
{
    if (arguments < 0)
        return "any number of arguments";
    return std::to_string(arguments) + (arguments == 1 ? " argument" : " arguments");
}

// "takes 3, 4 or 5 arguments", "takes 1 argument", "takes 2 or any number of arguments".
std::string takesText(const std::vector<CatalogueRow>& overloads)
{
    std::vector<std::string> counts;
    bool onlyOne = true;
    for (const CatalogueRow& overload : overloads) {
        const std::string count = overload.args < 0 ? "any number of" : std::to_string(overload.args);
        if (std::find(counts.begin(), counts.end(), count) == counts.end())
            counts.push_back(count);
        onlyOne = onlyOne && overload.args == 1;
    }
    return "takes " + joinAlternatives(counts) + (onlyOne ? " argument" : " arguments");
}

std::vector<std::string> prototypeLines(const std::vector<CatalogueRow>& overloads)
{
    std::size_t width = 0;
    for (const CatalogueRow& overload : overloads)
        width = std::max(width, overload.help.size());
    std::vector<std::string> lines;
    for (const CatalogueRow& overload : overloads) {
        std::string line = "  " + overload.help;
        line.append(width - overload.help.size() + 2, ' ');
        lines.push_back(line + argumentCountText(overload.args));
    }
    return lines;
}

std::string howToDefine(const std::string& name, const HintWording& wording)
{
    // An audio input defines exactly one variable, "level".
    if (name == "level")
        return "hint: " + wording.defineLevel;
    std::string text = wording.defineVariable;
    const std::string placeholder = "{name}";
    for (auto at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at + name.size()))
        text.replace(at, placeholder.size(), name);
    return "hint: " + text;
}

std::string howToSearch(const std::string& name, const HintWording& wording)
{
    return "hint: no function has a name like '" + name + "'; " + wording.findFunctions;
}

std::vector<std::string> symbolsOf(const std::vector<CatalogueRow>& functions)
{
    std::vector<std::string> symbols;
    for (const CatalogueRow& function : functions)
        symbols.push_back(function.symbol);
    return symbols;
}

} // namespace

FormulaNames FormulaNames::of(ZrParser& parser)
{
    FormulaNames names;
    appendFunctionRows(names.functions, parser);
    for (unsigned i = 0; i < parser.getNbDefinedVars(); ++i)
        names.variables.push_back(zr::toUtf8(parser.getVarByIndex(i)->getSymbol()));
    for (unsigned i = 0; i < parser.getNbDefinedConsts(); ++i) {
        std::wstring name;
        double value = 0;
        parser.getConst(i, name, value);
        names.constants.push_back(zr::toUtf8(name));
    }
    return names;
}

std::size_t editDistance(std::string_view a, std::string_view b)
{
    return editDistanceOf(folded(a), folded(b));
}

bool endsWithPart(std::string_view candidate, std::string_view name)
{
    return endsWithPartOf(folded(candidate), folded(name));
}

std::vector<std::string> similarNames(std::string_view name, const std::vector<std::string>& candidates,
                                      std::size_t limit)
{
    enum Tier { SAME_BUT_CASE, ENDS_WITH_PART, CLOSE, BEGINS_LAST_PART, NOT_ALIKE };
    const std::wstring typed = folded(name);
    const std::size_t allowed = allowedDistance(typed.size());
    // (tier, rank within the tier, low-level name, name): the rank orders close names by
    // distance; names of a family such as "map." go before the low-level "__" ones.
    std::vector<std::tuple<int, std::size_t, bool, std::string>> ranked;
    for (const std::string& candidate : candidates) {
        if (candidate == name)
            continue;
        if (std::any_of(ranked.begin(), ranked.end(), [&](const auto& r) { return std::get<3>(r) == candidate; }))
            continue;
        const std::wstring other = folded(candidate);
        const std::wstring part = lastPart(other);
        // A typo of the whole name ranks before the same typo of its last part ("sni": "__sin").
        Tier tier = NOT_ALIKE;
        std::size_t rank = 0;
        if (other == typed) {
            tier = SAME_BUT_CASE;
        } else if (endsWithPartOf(other, typed)) {
            tier = ENDS_WITH_PART;
        } else if (const auto wholeDistance = distanceWithin(typed, other, allowed)) {
            tier = CLOSE;
            rank = 2 * *wholeDistance;
        } else if (const auto partDistance = distanceWithin(typed, part, allowed)) {
            tier = CLOSE;
            rank = 2 * *partDistance + 1;
        } else if (typed.size() >= 3 && part.starts_with(typed)) {
            tier = BEGINS_LAST_PART;
        }
        if (tier != NOT_ALIKE)
            ranked.emplace_back(tier, rank, other.starts_with(L"_"), candidate);
    }
    std::sort(ranked.begin(), ranked.end());
    std::vector<std::string> names;
    for (std::size_t i = 0; i < ranked.size() && i < limit; ++i)
        names.push_back(std::get<3>(ranked[i]));
    return names;
}

HintSubject hintSubjectOf(const LibraryFailure& failure)
{
    for (const ZrExcepData& entry : failure.entries()) {
        const wchar_t* name = entry.findParam(L"itemName");
        if (!name)
            continue;
        HintSubject subject;
        subject.name = zr::toUtf8(name);
        if (entry.id == L"ZRPARSINGEXCEP_UndefinedFunc") {
            subject.kind = HintSubject::Kind::UnknownFunction;
        } else if (entry.id == L"ZRPARSINGEXCEP_UndefinedVar") {
            subject.kind = HintSubject::Kind::UnknownVariable;
        } else if (entry.id == L"ZRPARSINGEXCEP_OverloadedFuncNotFound") {
            subject.kind = HintSubject::Kind::WrongArgumentCount;
            if (const wchar_t* count = entry.findParam(L"param1"))
                subject.argumentCount = static_cast<unsigned>(std::wcstoul(count, nullptr, 10));
        } else {
            continue;
        }
        return subject;
    }
    return {};
}

std::vector<std::string> suggestionsFor(const HintSubject& subject, const FormulaNames& names)
{
    switch (subject.kind) {
    case HintSubject::Kind::UnknownFunction:
        return similarNames(subject.name, symbolsOf(names.functions));
    case HintSubject::Kind::UnknownVariable: {
        std::vector<std::string> candidates = names.variables;
        candidates.insert(candidates.end(), names.constants.begin(), names.constants.end());
        return similarNames(subject.name, candidates);
    }
    case HintSubject::Kind::WrongArgumentCount:
    case HintSubject::Kind::None:
        break;
    }
    return {};
}

std::vector<std::string> formulaHints(const HintSubject& subject, const FormulaNames& names, const HintWording& wording)
{
    std::vector<std::string> hints;
    const std::vector<std::string> suggestions = suggestionsFor(subject, names);
    if (!suggestions.empty())
        hints.push_back("hint: did you mean " + joinAlternatives(suggestions) + "?");
    switch (subject.kind) {
    case HintSubject::Kind::UnknownFunction:
        if (suggestions.empty())
            hints.push_back(howToSearch(subject.name, wording));
        break;
    case HintSubject::Kind::UnknownVariable: {
        const auto overloads = overloadsOf(names.functions, subject.name);
        if (overloads.empty())
            hints.push_back(howToDefine(subject.name, wording));
        else
            hints.push_back("hint: " + subject.name + " is a function: call it with its arguments, as in " +
                            overloads.front().help);
        break;
    }
    case HintSubject::Kind::WrongArgumentCount: {
        const auto overloads = overloadsOf(names.functions, subject.name);
        if (overloads.empty())
            break;
        hints.push_back("hint: " + subject.name + " " + takesText(overloads) + ", not " +
                        std::to_string(subject.argumentCount) + ":");
        for (std::string& line : prototypeLines(overloads))
            hints.push_back(std::move(line));
        break;
    }
    case HintSubject::Kind::None:
        break;
    }
    return hints;
}

void addFormulaHints(LibraryFailure& failure, const FormulaNames& names, const HintWording& wording)
{
    failure.addHints(formulaHints(hintSubjectOf(failure), names, wording));
}

} // namespace zrhost
