// Per-fixture child parsers: compile with index and count, evaluate to slots, swap on edits.
#include "zrshow/show/FixtureFormulas.h"

#include <set>
#include <utility>

#include "zrparser/ZrUtf8.h"
#include "zrshow/show/ShowProblems.h"

namespace zrshow {

using zrhost::LibraryFailure;

FixtureFormulas::FixtureFormulas(const ShowFile& show, const ShowPatch& patch, ZrParser& host, ShowProblems& problems)
    : host_(host)
{
    running_.reserve(patch.channels().size());
    // A formula refused for one fixture of a group is reported once, not count times.
    std::set<std::pair<std::size_t, std::size_t>> refused;
    for (const PatchedChannel& placed : patch.channels()) {
        const ShowFixture& fixture = show.fixtures[placed.fixture];
        const ShowChannel& channel = fixture.channels[placed.channel];
        Running running{nullptr, placed.universe, placed.slot, placed.width, placed.fixture, placed.channel,
                        placed.index, fixture.count};
        if (!refused.contains({placed.fixture, placed.channel})) {
            const std::wstring formula = zr::fromUtf8(channel.formula);
            try {
                running.parser = compileFor(running, formula);
            } catch (const ZrParserException& e) {
                problems.add(channel.line,
                             "fixture '" + fixture.name + "' channel '" + channel.name + "': the formula is refused",
                             LibraryFailure(e, formula));
                refused.insert({placed.fixture, placed.channel});
            }
        }
        running_.push_back(std::move(running));
    }
}

std::unique_ptr<ZrParser> FixtureFormulas::compileFor(const Running& channel, const std::wstring& formula) const
{
    auto parser = std::make_unique<ZrParser>(host_.getCompiler(), host_.getRegistrar(), true);
    parser->defineConst(L"index", channel.index);
    parser->defineConst(L"count", channel.count);
    parser->compile(formula.c_str());
    return parser;
}

unsigned FixtureFormulas::evaluate(std::vector<DmxSlots>& universes)
{
    unsigned failures = 0;
    for (Running& channel : running_) {
        double value;
        try {
            value = channel.parser->evaluate();
        } catch (...) {
            // Whatever a formula throws, the show goes on; its slots hold their last value.
            ++failures;
            continue;
        }
        writeLevel(&universes[channel.universe][channel.slot], channel.width, value);
    }
    return failures;
}

std::optional<LibraryFailure> FixtureFormulas::replace(const std::vector<std::size_t>& positions,
                                                       const std::string& formula)
{
    const std::wstring wide = zr::fromUtf8(formula);
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
