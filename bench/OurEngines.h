// The configurations of this library that the benchmark measures side by side. Each entry is
// one "ours" column of the speed table and one block of the show and compile tables; a new
// execution mode is measured by adding an entry here.
#pragma once

#include "zrparser/ZrParser.h"

namespace bench {

struct OurEngine {
    const char* name;
    // Runs on every parser of this configuration, after its items are defined and before it
    // compiles.
    void (*setup)(ZrParser& parser);
};

inline const OurEngine ourEngines[] = {
    // The plain loop, one evaluate() call per program step: the reference every tier matches.
    {"ours", [](ZrParser& parser) { parser.setExecutionTier(ZrExecutionTier::Reference); }},
};

} // namespace bench
