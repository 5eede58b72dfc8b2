// The configurations of this library that the benchmark measures side by side. Each entry is
// one "ours" column of the speed table and one block of the show and compile tables; a new
// execution mode is measured by adding an entry here.
#pragma once

#include "zrmachinecode/ZrMachineCode.h"
#include "zrparser/ZrParser.h"

namespace bench {

struct OurEngine {
    const char* name;
    // Runs on every parser of this configuration, after its items are defined and before it
    // compiles.
    void (*setup)(ZrParser& parser);
};

// A parser, and the child parsers its conditionals and loops make while it compiles, at `tier`.
inline void runAt(ZrParser& parser, ZrExecutionTier tier)
{
    ZrParser::setDefaultExecutionTier(tier);
    parser.setExecutionTier(tier);
}

inline const OurEngine ourEngines[] = {
    // The plain loop, one evaluate() call per program step: the reference every tier matches.
    {"reference", [](ZrParser& parser) { runAt(parser, ZrExecutionTier::Reference); }},
    // The execution plan, interpreted.
    {"tier 1", [](ZrParser& parser) { runAt(parser, ZrExecutionTier::Interpreter); }},
    // The execution plan as machine code.
    {"tier 2", [](ZrParser& parser) {
         zr::useMachineCode();
         runAt(parser, ZrExecutionTier::MachineCode);
     }},
};

} // namespace bench
