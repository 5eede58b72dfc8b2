// The patch of a show: which DMX slots of which universe every channel of every fixture
// drives, with the checks that a slot has one channel at most and lies within 512.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "zrparser/ZrExport.h"
#include "zrshow/show/ShowFile.h"

namespace zrshow {

class ShowProblems;

// One channel of one fixture of a group, placed in a universe.
struct PatchedChannel {
    std::size_t fixture = 0;  // in ShowFile::fixtures
    unsigned index = 0;       // within the group, 0 to count - 1
    std::size_t channel = 0;  // in ShowFixture::channels
    std::size_t universe = 0; // in ShowPatch::universes()
    unsigned slot = 0;        // first slot, from 0
    unsigned width = 8;
    unsigned fineSlot = 0;    // width 16: the fine slot, from 0
};

class ZR_API ShowPatch {
public:
    // Places every channel of `show`, adding a problem for each slot beyond 512 (once per
    // fixture) and for each pair of channels that share a slot (once per pair).
    ShowPatch(const ShowFile& show, ShowProblems& problems);

    // The universe numbers a show drives (of its fixtures and outputs), ascending.
    const std::vector<std::uint32_t>& universes() const { return universes_; }
    std::size_t universeIndex(std::uint32_t universe) const;

    // Fixture after fixture, then index after index, then channel after channel.
    const std::vector<PatchedChannel>& channels() const { return channels_; }

    // The position in channels() of channel `channel` of fixture `fixture` number `index`.
    std::optional<std::size_t> find(const ShowFile& show, const std::string& fixture, unsigned index,
                                    const std::string& channel) const;

private:
    std::vector<std::uint32_t> universes_;
    std::vector<PatchedChannel> channels_;
    std::vector<std::size_t> firstOfFixture_; // position of each fixture's first channel
};

// "fixture 'pars' #3 channel 'red'" ("#3" only for groups of more than one).
ZR_API std::string describeChannel(const ShowFile& show, const PatchedChannel& channel);

} // namespace zrshow
