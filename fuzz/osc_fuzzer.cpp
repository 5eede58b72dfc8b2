// Fuzz target: an OSC packet from the input, decoded as it arrives on the wire and taken by the
// command interpreter of a running show: a refusal is an answer, an accepted edit is applied
// and a frame runs with it. Nothing the bytes say may crash the show or leave it running on a
// value that is no number.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "zrmachinecode/ZrMachineCode.h"
#include "zrshow/inputs/OscInput.h"
#include "zrshow/show/FixtureFormulas.h"
#include "zrshow/show/ShowCommands.h"
#include "zrshow/show/ShowHost.h"
#include "zrshow/show/ShowPatch.h"
#include "zrshow/show/ShowProblems.h"

namespace {

const char* const SHOW = R"toml(fps = 40
[variables]
level = 50
speed = 1
[[output]]
universe = 1
protocol = "sacn"
address = "127.0.0.1"
[[fixture]]
name = "pars"
universe = 1
address = 1
count = 4
channels = [ { name = "dimmer", formula = "level" },
             { name = "red", formula = "__sin(0.1 * speed) * 50 + 50" },
             { name = "pan", formula = "counter(0, 100, 1)", width = 16 } ]
)toml";

// The show, loaded once: every input edits it further, as a long-running show's clients do.
struct LoadedShow {
    zrshow::ShowProblems problems{"fuzz.toml"};
    zrshow::ShowFile show = zrshow::parseShowText(SHOW, "fuzz.toml", problems);
    zrshow::ShowPatch patch{show, problems};
    zrshow::ShowHost host{show, zrshow::ShowInputFiles{}, problems};
    zrshow::FixtureFormulas formulas{show, patch, host.parser(), problems};
    zrshow::ShowCommands commands{show, patch, host};
    std::vector<zrshow::DmxSlots> universes = std::vector<zrshow::DmxSlots>(patch.universes().size());
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = zr::useMachineCode();
    (void)ready;
    static LoadedShow loaded;
    const auto message = zrshow::decodeOscPacket(data, size);
    if (!message)
        return 0;
    auto result = loaded.commands.interpret(message->path, message->argument());
    if (auto* edit = std::get_if<zrshow::ShowEdit>(&result)) {
        if (auto* set = std::get_if<zrshow::SetVariable>(edit)) {
            if (!std::isfinite(set->newValue)) {
                std::fprintf(stderr, "a variable was given %f\n", set->newValue);
                std::abort();
            }
            *set->value = set->newValue;
        } else if (auto* replace = std::get_if<zrshow::ReplaceFormula>(edit)) {
            (void)loaded.formulas.replace({replace->position}, replace->formula);
        }
    }
    loaded.formulas.evaluate(loaded.universes);
    return 0;
}
