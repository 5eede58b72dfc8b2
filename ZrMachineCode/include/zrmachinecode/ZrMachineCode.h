// Machine code for compiled formulas: parsers whose tier is MachineCode (the default) run their
// programs as x86-64 code made by this library once a host has called useMachineCode().
#pragma once

#include "zrparser/ZrExport.h"

namespace zr {

// Installs the x86-64 code generator for every parser of the process, from their next compile
// on. Returns false, and installs nothing, on other processors or when the environment variable
// ZR_JIT is 0; parsers then interpret their plans, with the same results.
ZR_API bool useMachineCode();

} // namespace zr
