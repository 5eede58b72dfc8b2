// Slot layout of fixture groups and the checks of overlapping and overflowing channels.
#include "zrshow/show/ShowPatch.h"

#include <algorithm>
#include <set>
#include <utility>

#include "zrshow/outputs/DmxLevels.h"
#include "zrshow/show/ShowProblems.h"

namespace zrshow {

namespace {

// Listing every slot of two overlapping groups of 100 fixtures helps nobody.
constexpr std::size_t MAX_CONFLICTS_LISTED = 20;

// Where fixture `index` of a group begins: in the spans the file gives, else one after another
// from the group's address, and for a pixel map, pixels that do not fit continue from slot 1 of
// the next universes, never split.
struct Placement {
    std::uint32_t universe;
    unsigned slot; // from 0
};

Placement placeOf(const ShowFixture& fixture, unsigned index)
{
    for (const FixtureSpan& span : fixture.spans) {
        if (index < span.count)
            return {span.universe, span.address - 1 + index * fixture.footprint};
        index -= span.count;
    }
    const unsigned start = fixture.address - 1;
    if (!fixture.pixelMap || fixture.footprint == 0 || fixture.footprint > DMX_SLOT_COUNT)
        return {fixture.universe, start + index * fixture.footprint};
    const unsigned inFirst = start < DMX_SLOT_COUNT ? (DMX_SLOT_COUNT - start) / fixture.footprint : 0;
    if (index < inFirst)
        return {fixture.universe, start + index * fixture.footprint};
    const unsigned perUniverse = DMX_SLOT_COUNT / fixture.footprint;
    const unsigned later = index - inFirst;
    return {fixture.universe + 1 + later / perUniverse, (later % perUniverse) * fixture.footprint};
}

} // namespace

ShowPatch::ShowPatch(const ShowFile& show, ShowProblems& problems)
{
    std::set<std::uint32_t> sent;
    for (const ShowOutput& output : show.outputs)
        sent.insert(output.universe);
    for (const ShowFixture& fixture : show.fixtures)
        for (unsigned index = 0; index < fixture.count; ++index) {
            const std::uint32_t universe = placeOf(fixture, index).universe;
            if (index > 0 && universe == universes_.back())
                continue;
            universes_.push_back(universe);
            // The group's own universe is checked with the file; the ones it runs on into here.
            if (universe != fixture.universe && !sent.contains(universe))
                problems.add(fixture.line, "fixture '" + fixture.name + "' #" + std::to_string(index) +
                                               " continues in universe " + std::to_string(universe) +
                                               ", which no output sends");
        }
    for (const ShowOutput& output : show.outputs)
        universes_.push_back(output.universe);
    std::sort(universes_.begin(), universes_.end());
    universes_.erase(std::unique(universes_.begin(), universes_.end()), universes_.end());

    // Which channel holds each slot of each universe, so a second one is caught on the spot.
    constexpr std::size_t FREE = static_cast<std::size_t>(-1);
    std::vector<std::vector<std::size_t>> owners(universes_.size(), std::vector<std::size_t>(DMX_SLOT_COUNT, FREE));
    std::set<std::pair<std::size_t, std::size_t>> conflicts;
    std::size_t unlisted = 0;

    for (std::size_t f = 0; f < show.fixtures.size(); ++f) {
        const ShowFixture& fixture = show.fixtures[f];
        firstOfFixture_.push_back(channels_.size());
        bool overflowReported = false;
        for (unsigned index = 0; index < fixture.count; ++index) {
            const Placement place = placeOf(fixture, index);
            for (std::size_t c = 0; c < fixture.channels.size(); ++c) {
                const ShowChannel& channel = fixture.channels[c];
                PatchedChannel placed{f,
                                      index,
                                      c,
                                      universeIndex(place.universe),
                                      place.slot + channel.offset,
                                      channel.width,
                                      place.slot + channel.fineSlotOffset()};
                const std::size_t self = channels_.size();
                channels_.push_back(placed);
                std::vector<unsigned> slots{placed.slot};
                if (channel.width == 16)
                    slots.push_back(placed.fineSlot);
                const unsigned last = *std::max_element(slots.begin(), slots.end());
                if (last >= DMX_SLOT_COUNT) {
                    if (!overflowReported)
                        problems.add(channel.line, describeChannel(show, placed) + " needs slot " +
                                                       std::to_string(last + 1) + " of universe " +
                                                       std::to_string(place.universe) +
                                                       ", beyond the last slot, 512");
                    overflowReported = true;
                    continue;
                }
                for (const unsigned s : slots) {
                    std::size_t& owner = owners[placed.universe][s];
                    if (owner != FREE && conflicts.insert({owner, self}).second) {
                        if (conflicts.size() > MAX_CONFLICTS_LISTED) {
                            ++unlisted;
                        } else {
                            problems.add(channel.line, "slot " + std::to_string(s + 1) + " of universe " +
                                                           std::to_string(place.universe) + " has two channels: " +
                                                           describeChannel(show, channels_[owner]) + " and " +
                                                           describeChannel(show, placed));
                        }
                    }
                    if (owner == FREE)
                        owner = self;
                }
            }
        }
    }
    if (unlisted > 0)
        problems.add(0, "and " + std::to_string(unlisted) + " more pairs of channels on one slot");
}

std::size_t ShowPatch::universeIndex(std::uint32_t universe) const
{
    return static_cast<std::size_t>(std::lower_bound(universes_.begin(), universes_.end(), universe) -
                                    universes_.begin());
}

std::optional<std::size_t> ShowPatch::find(const ShowFile& show, const std::string& fixture, unsigned index,
                                           const std::string& channel) const
{
    for (std::size_t f = 0; f < show.fixtures.size(); ++f) {
        const ShowFixture& candidate = show.fixtures[f];
        if (candidate.name != fixture || index >= candidate.count)
            continue;
        for (std::size_t c = 0; c < candidate.channels.size(); ++c) {
            if (candidate.channels[c].name == channel)
                return firstOfFixture_[f] + index * candidate.channels.size() + c;
        }
    }
    return std::nullopt;
}

std::string describeChannel(const ShowFile& show, const PatchedChannel& channel)
{
    const ShowFixture& fixture = show.fixtures[channel.fixture];
    std::string text = "fixture '" + fixture.name + "'";
    if (fixture.count > 1)
        text += " #" + std::to_string(channel.index);
    return text + " channel '" + fixture.channels[channel.channel].name + "'";
}

} // namespace zrshow
