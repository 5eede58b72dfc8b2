// A show's formulas: one formula per group channel with an instance per fixture, compiled in
// patch order; independent formulas shared out among the frame's threads, the others kept in
// patch order. The patch gives every slot one channel, so each thread writes its own levels.
#include "zrshow/show/FixtureFormulas.h"

#include <algorithm>
#include <map>
#include <set>
#include <thread>
#include <utility>

#include "show/FrameWorkers.h"
#include "zrparser/ZrPlatform.h"
#include "zrparser/ZrUtf8.h"
#include "zrshow/show/ShowProblems.h"

namespace zrshow {

using zrhost::LibraryFailure;

namespace {

// The constants every fixture of a group has a value of its own for; a pixel map's fixtures
// also know where they sit.
const std::vector<std::wstring>& instanceConstants(bool placed)
{
    static const std::vector<std::wstring> names{L"index", L"count"};
    static const std::vector<std::wstring> placedNames{L"index", L"count", L"x", L"y", L"z"};
    return placed ? placedNames : names;
}

// Their values for one channel, in the same order.
template <class Channel>
std::vector<double> instanceValues(const Channel& channel)
{
    std::vector<double> values{static_cast<double>(channel.index), static_cast<double>(channel.count)};
    if (channel.place)
        values.insert(values.end(), {channel.place->x, channel.place->y, channel.place->z});
    return values;
}

} // namespace

FixtureFormulas::FixtureFormulas(const ShowFile& show, const ShowPatch& patch, ZrParser& host, ShowProblems& problems,
                                 FormulaEngineOptions options)
    : host_(host), options_(options)
{
    running_.reserve(patch.channels().size());
    std::map<std::pair<std::size_t, std::size_t>, ZrFormulaInstances*> groups;
    // A formula refused for one fixture of a group is reported once, not count times.
    std::set<std::pair<std::size_t, std::size_t>> refused;
    for (const PatchedChannel& placed : patch.channels()) {
        const ShowFixture& fixture = show.fixtures[placed.fixture];
        const ShowChannel& channel = fixture.channels[placed.channel];
        const std::size_t position = running_.size();
        std::optional<PixelPosition> place;
        if (fixture.pixelMap && placed.index < fixture.pixelMap->positions.size())
            place = fixture.pixelMap->positions[placed.index];
        running_.push_back(Running{nullptr, 0, nullptr, placed.universe, placed.slot, placed.width, placed.fineSlot,
                                   placed.fixture, placed.channel, placed.index, fixture.count, place});
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
                group = formulas_
                            .emplace_back(std::make_unique<ZrFormulaInstances>(
                                host_, formula, instanceConstants(running_[position].place.has_value())))
                            .get();
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
    if (options_.threads == 0) {
        const auto busy = static_cast<unsigned>(running_.size() / FormulaEngineOptions::CHANNELS_PER_THREAD);
        options_.threads = std::clamp(busy, 1u, std::max(1u, std::thread::hardware_concurrency()));
    }
    if (options_.threads > 1 && !options_.childParsers)
        workers_ = std::make_unique<FrameWorkers>(options_.threads);
    schedule();
}

FixtureFormulas::~FixtureFormulas() = default;

std::unique_ptr<ZrParser> FixtureFormulas::compileFor(const Running& channel, const std::wstring& formula) const
{
    auto parser = std::make_unique<ZrParser>(host_.getCompiler(), host_.getRegistrar(), true);
    const auto values = instanceValues(channel);
    for (std::size_t k = 0; k < values.size(); ++k)
        parser->defineConst(instanceConstants(channel.place.has_value())[k].c_str(), values[k]);
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
// no thread splits. Every other formula's instances may run anywhere: they are cut into runs of
// consecutive instances, short enough for the threads to get even shares, each evaluated in one
// call so that a thread walks a formula's rows forward.
void FixtureFormulas::schedule()
{
    std::set<const ZrFormulaInstances*> running;
    for (const Running& channel : running_)
        running.insert(channel.formula);
    std::erase_if(formulas_, [&](const auto& formula) { return !running.contains(formula.get()); });

    const unsigned threads = workers_ ? workers_->size() : 1;
    std::vector<std::uint32_t> ordered;
    std::map<const ZrFormulaInstances*, std::vector<std::uint32_t>> independent;
    for (std::uint32_t position = 0; position < running_.size(); ++position) {
        const Running& channel = running_[position];
        if (channel.parser || (channel.formula && channel.formula->usesProcessState()))
            ordered.push_back(position);
        else if (channel.formula)
            independent[channel.formula].push_back(position);
    }
    positions_.clear();
    // Consecutive positions of one formula's consecutive instances make one piece.
    const auto cut = [&](const std::vector<std::uint32_t>& positions, std::size_t longest, std::vector<Piece>& into) {
        for (const std::uint32_t position : positions) {
            const Running& channel = running_[position];
            Piece* last = into.empty() ? nullptr : &into.back();
            const bool follows = last && last->formula == channel.formula && last->count < longest &&
                                 (!channel.formula || last->firstInstance + last->count == channel.instance);
            if (follows) {
                ++last->count;
            } else {
                into.push_back({channel.formula, static_cast<std::uint32_t>(channel.instance), 1,
                                static_cast<std::uint32_t>(positions_.size())});
            }
            positions_.push_back(position);
        }
    };
    parts_.assign(threads, {});
    cut(ordered, 1024, parts_[0]);
    const std::size_t longest = std::max<std::size_t>(64, (running_.size() + threads - 1) / threads / 4);
    std::vector<Piece> pieces;
    for (auto& [formula, positions] : independent) {
        std::ranges::sort(positions, {}, [&](std::uint32_t p) { return running_[p].instance; });
        cut(positions, longest, pieces);
    }
    // Longest first; equal ones in the order they were cut, so every run shares alike.
    std::ranges::sort(pieces, [](const Piece& a, const Piece& b) {
        return a.count != b.count ? a.count > b.count : a.firstPosition < b.firstPosition;
    });
    std::vector<std::size_t> load(threads, 0);
    for (const Piece& piece : parts_[0])
        load[0] += piece.count;
    for (const Piece& piece : pieces) {
        const auto lightest = static_cast<std::size_t>(std::ranges::min_element(load) - load.begin());
        parts_[lightest].push_back(piece);
        load[lightest] += piece.count;
    }
    levels_.assign(threads, {});
    for (unsigned part = 0; part < threads; ++part) {
        std::size_t longestPiece = 0;
        for (const Piece& piece : parts_[part])
            longestPiece = std::max<std::size_t>(longestPiece, piece.count);
        levels_[part].resize(longestPiece);
    }
    partFailures_.assign(threads, {});
}

void FixtureFormulas::evaluatePart(unsigned part)
{
    unsigned failures = 0;
    double* levels = levels_[part].data();
    std::vector<DmxSlots>& universes = *frameUniverses_;
    for (const Piece& piece : parts_[part]) {
        const std::uint32_t* positions = positions_.data() + piece.firstPosition;
        if (piece.formula) {
            failures += static_cast<unsigned>(piece.formula->evaluate(piece.firstInstance, piece.count, levels));
        } else {
            for (std::uint32_t i = 0; i < piece.count; ++i) {
                try {
                    levels[i] = running_[positions[i]].parser->evaluate();
                } catch (...) {
                    levels[i] = zr::nan();
                    ++failures;
                }
            }
        }
        // A formula that threw gives NaN, which leaves its slots as they were: the show goes on.
        for (std::uint32_t i = 0; i < piece.count; ++i) {
            const Running& channel = running_[positions[i]];
            DmxSlots& slots = universes[channel.universe];
            if (channel.width == 16)
                writeLevel(&slots[channel.slot], &slots[channel.fineSlot], levels[i]);
            else
                writeLevel(&slots[channel.slot], 8, levels[i]);
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
    // The positions of an edit are channels of one group, or one channel.
    const bool placed = !positions.empty() && running_[positions.front()].place.has_value();
    auto replacement = std::make_unique<ZrFormulaInstances>(host_, wide, instanceConstants(placed));
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
