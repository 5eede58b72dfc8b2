// A show's formulas: one formula per group channel with an instance per fixture, compiled in
// patch order; independent formulas shared out among the frame's threads, the others kept in
// patch order. The patch gives every slot one channel, so each thread writes its own levels.
#include "zrshow/show/FixtureFormulas.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <utility>

#include "show/FrameWorkers.h"
#include "zrparser/ZrUtf8.h"
#include "zrshow/show/ShowProblems.h"

namespace zrshow {

using zrhost::LibraryFailure;

namespace {

// The constants every fixture of a group has a value of its own for.
const std::vector<std::wstring>& instanceConstants()
{
    static const std::vector<std::wstring> names{L"index", L"count"};
    return names;
}

template <class Channel>
std::array<double, 2> instanceValues(const Channel& channel)
{
    return {static_cast<double>(channel.index), static_cast<double>(channel.count)};
}

} // namespace

FixtureFormulas::FixtureFormulas(const ShowFile& show, const ShowPatch& patch, ZrParser& host, ShowProblems& problems,
                                 FormulaEngineOptions options)
    : host_(host), options_(options)
{
    options_.threads = std::max(1u, options_.threads);
    running_.reserve(patch.channels().size());
    std::map<std::pair<std::size_t, std::size_t>, ZrFormulaInstances*> groups;
    // A formula refused for one fixture of a group is reported once, not count times.
    std::set<std::pair<std::size_t, std::size_t>> refused;
    for (const PatchedChannel& placed : patch.channels()) {
        const ShowFixture& fixture = show.fixtures[placed.fixture];
        const ShowChannel& channel = fixture.channels[placed.channel];
        const std::size_t position = running_.size();
        running_.push_back(Running{nullptr, 0, nullptr, placed.universe, placed.slot, placed.width, placed.fixture,
                                   placed.channel, placed.index, fixture.count});
        const std::pair key{placed.fixture, placed.channel};
        if (refused.contains(key))
            continue;
        const std::wstring formula = zr::fromUtf8(channel.formula);
        try {
            if (options_.childParsers) {
                running_[position].parser = compileFor(running_[position], formula);
                continue;
            }
            ZrFormulaInstances*& group = groups[key];
            if (!group)
                group = formulas_.emplace_back(std::make_unique<ZrFormulaInstances>(host_, formula, instanceConstants())).get();
            addInstance(*group, position);
        } catch (const ZrParserException& e) {
            problems.add(channel.line,
                         "fixture '" + fixture.name + "' channel '" + channel.name + "': the formula is refused",
                         LibraryFailure(e, formula));
            refused.insert(key);
        }
    }
    for (const auto& formula : formulas_)
        formula->shrinkToFit();
    if (options_.threads > 1 && !options_.childParsers)
        workers_ = std::make_unique<FrameWorkers>(options_.threads);
    schedule();
}

FixtureFormulas::~FixtureFormulas() = default;

std::unique_ptr<ZrParser> FixtureFormulas::compileFor(const Running& channel, const std::wstring& formula) const
{
    auto parser = std::make_unique<ZrParser>(host_.getCompiler(), host_.getRegistrar(), true);
    parser->defineConst(L"index", channel.index);
    parser->defineConst(L"count", channel.count);
    parser->compile(formula.c_str());
    return parser;
}

void FixtureFormulas::addInstance(ZrFormulaInstances& formula, std::size_t position)
{
    Running& channel = running_[position];
    channel.instance = formula.add(instanceValues(channel));
    channel.formula = &formula;
}

// Formulas that share process state keep patch order among themselves: they form one part that
// no thread splits. Every other formula's instances may run anywhere; large ones are cut so the
// threads get even shares, and each piece stays together so a thread walks its rows forward.
void FixtureFormulas::schedule()
{
    std::set<const ZrFormulaInstances*> running;
    for (const Running& channel : running_)
        running.insert(channel.formula);
    std::erase_if(formulas_, [&](const auto& formula) { return !running.contains(formula.get()); });

    const unsigned threads = workers_ ? workers_->size() : 1;
    std::vector<std::vector<std::uint32_t>> pieces(1); // pieces[0]: in patch order
    std::map<const ZrFormulaInstances*, std::size_t> pieceOf;
    for (std::uint32_t position = 0; position < running_.size(); ++position) {
        const Running& channel = running_[position];
        if (channel.parser || (channel.formula && channel.formula->usesProcessState())) {
            pieces[0].push_back(position);
        } else if (channel.formula) {
            auto [at, added] = pieceOf.emplace(channel.formula, pieces.size());
            if (added)
                pieces.emplace_back();
            pieces[at->second].push_back(position);
        }
    }
    const std::size_t evenShare = (running_.size() + threads - 1) / threads;
    const std::size_t longest = std::max<std::size_t>(64, evenShare / 4);
    std::vector<std::vector<std::uint32_t>> cut;
    cut.push_back(std::move(pieces[0]));
    for (std::size_t i = 1; i < pieces.size(); ++i)
        for (std::size_t from = 0; from < pieces[i].size(); from += longest) {
            const auto begin = pieces[i].begin() + static_cast<std::ptrdiff_t>(from);
            cut.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(std::min(longest, pieces[i].size() - from)));
        }
    std::stable_sort(cut.begin() + 1, cut.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
    parts_.assign(threads, {});
    partFailures_.assign(threads, {});
    for (auto& piece : cut) {
        auto& lightest = *std::min_element(parts_.begin(), parts_.end(),
                                           [](const auto& a, const auto& b) { return a.size() < b.size(); });
        lightest.insert(lightest.end(), piece.begin(), piece.end());
    }
}

void FixtureFormulas::evaluatePart(unsigned part)
{
    unsigned failures = 0;
    for (const std::uint32_t position : parts_[part]) {
        Running& channel = running_[position];
        try {
            const double level = channel.parser ? channel.parser->evaluate() : channel.formula->evaluate(channel.instance);
            writeLevel(&(*frameUniverses_)[channel.universe][channel.slot], channel.width, level);
        } catch (...) {
            // Whatever a formula throws, the show goes on; its slots hold their last value.
            ++failures;
        }
    }
    partFailures_[part].count = failures;
}

unsigned FixtureFormulas::evaluate(std::vector<DmxSlots>& universes)
{
    frameUniverses_ = &universes;
    if (workers_) {
        instant_ = zrhost::FrameClock::threadInstant();
        workers_->run(
            [](void* context, unsigned part) {
                auto& formulas = *static_cast<FixtureFormulas*>(context);
                zrhost::FrameClock::adoptInstant(formulas.instant_);
                formulas.evaluatePart(part);
            },
            this);
    } else {
        evaluatePart(0);
    }
    unsigned failures = 0;
    for (const PartFailures& part : partFailures_)
        failures += part.count;
    return failures;
}

std::optional<LibraryFailure> FixtureFormulas::replace(const std::vector<std::size_t>& positions,
                                                       const std::string& formula)
{
    const std::wstring wide = zr::fromUtf8(formula);
    if (options_.childParsers) {
        std::vector<std::unique_ptr<ZrParser>> compiled;
        for (std::size_t position : positions) {
            try {
                compiled.push_back(compileFor(running_[position], wide));
            } catch (const ZrParserException& e) {
                return LibraryFailure(e, wide);
            }
        }
        for (std::size_t i = 0; i < positions.size(); ++i)
            running_[positions[i]].parser = std::move(compiled[i]);
        schedule();
        return std::nullopt;
    }
    auto replacement = std::make_unique<ZrFormulaInstances>(host_, wide, instanceConstants());
    std::vector<std::size_t> instances;
    for (std::size_t position : positions) {
        try {
            instances.push_back(replacement->add(instanceValues(running_[position])));
        } catch (const ZrParserException& e) {
            return LibraryFailure(e, wide);
        }
    }
    replacement->shrinkToFit();
    for (std::size_t i = 0; i < positions.size(); ++i) {
        running_[positions[i]].formula = replacement.get();
        running_[positions[i]].instance = instances[i];
    }
    formulas_.push_back(std::move(replacement));
    schedule();
    return std::nullopt;
}

std::vector<std::size_t> FixtureFormulas::positionsOf(std::size_t fixture, std::size_t channel) const
{
    std::vector<std::size_t> positions;
    for (std::size_t i = 0; i < running_.size(); ++i) {
        if (running_[i].fixture == fixture && running_[i].channel == channel)
            positions.push_back(i);
    }
    return positions;
}

} // namespace zrshow
