// A show read from text as `zrsignal run` reads it: its file, patch, host parser and compiled
// formulas, and universes for its frames; for the tests that drive the show library directly.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zrshow/outputs/DmxLevels.h"
#include "zrshow/show/FixtureFormulas.h"
#include "zrshow/show/ShowFile.h"
#include "zrshow/show/ShowHost.h"
#include "zrshow/show/ShowPatch.h"
#include "zrshow/show/ShowProblems.h"

namespace showtest {

struct LoadedShow {
    zrshow::ShowProblems problems;
    zrshow::ShowFile show;
    std::unique_ptr<zrshow::ShowPatch> patch;
    std::unique_ptr<zrshow::ShowHost> host;
    std::unique_ptr<zrshow::FixtureFormulas> formulas;
    std::vector<zrshow::DmxSlots> universes;

    explicit LoadedShow(const std::string& text, const std::string& path = "show.toml",
                        const zrshow::FormulaEngineOptions& options = {},
                        const zrshow::LiveInputsMaker& makeLiveInputs = {})
        : problems(path)
    {
        show = zrshow::parseShowText(text, path, problems);
        patch = std::make_unique<zrshow::ShowPatch>(show, problems);
        host = std::make_unique<zrshow::ShowHost>(show, zrshow::ShowInputFiles{}, problems, makeLiveInputs);
        formulas = std::make_unique<zrshow::FixtureFormulas>(show, *patch, host->parser(), problems, options);
        universes.assign(patch->universes().size(), zrshow::DmxSlots{});
    }

    // One frame; how many formulas threw.
    unsigned evaluate() { return formulas->evaluate(universes); }
};

} // namespace showtest
