// The compiled formulas of a show: one per channel of every fixture of every group, each in its
// own child parser of the host parser (so each keeps its own state), evaluated into DMX slots.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "zrhost/LibraryFailure.h"
#include "zrparser/ZrExport.h"
#include "zrparser/ZrParser.h"
#include "zrshow/outputs/DmxLevels.h"
#include "zrshow/show/ShowPatch.h"

namespace zrshow {

class ShowProblems;

class ZR_API FixtureFormulas {
public:
    // Compiles every patched channel of `patch`. A formula the library refuses is added to
    // `problems` once per channel of a group, with its line and the caret under the failure.
    // `host` must outlive this object.
    FixtureFormulas(const ShowFile& show, const ShowPatch& patch, ZrParser& host, ShowProblems& problems);

    // Evaluates every formula once, in patch order, and writes its level into its slots of
    // `universes`. A formula that throws keeps its slots as they were; returns how many threw.
    // Allocates nothing.
    unsigned evaluate(std::vector<DmxSlots>& universes);

    // Compiles `formula` for the channels at `positions` of the patch, each into a new parser.
    // When all compile, they replace the running ones (whose state is dropped with them) and
    // nothing is returned; otherwise the running formulas stay and the failure is returned.
    std::optional<zrhost::LibraryFailure> replace(const std::vector<std::size_t>& positions, const std::string& formula);

    // The positions of every fixture of a group for one channel (fixture `fixture`, channel
    // `channel` of the show).
    std::vector<std::size_t> positionsOf(std::size_t fixture, std::size_t channel) const;

private:
    struct Running {
        std::unique_ptr<ZrParser> parser;
        std::size_t universe;
        unsigned slot;
        unsigned width;
        std::size_t fixture;
        std::size_t channel;
        unsigned index;
        unsigned count;
    };

    // A child parser of the host with the constants "index" and "count", compiled with
    // `formula`. Throws ZrParserException.
    std::unique_ptr<ZrParser> compileFor(const Running& channel, const std::wstring& formula) const;

    ZrParser& host_;
    std::vector<Running> running_;
};

} // namespace zrshow
