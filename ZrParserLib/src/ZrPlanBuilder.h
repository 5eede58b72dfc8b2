// Derives the execution plan of a finished program.
#pragma once

#include <memory_resource>
#include <vector>

#include "ZrProgram.h"
#include "zrparser/ZrExecutionPlan.h"

// The steps that compute what the program's steps compute, in the same order, with the same
// calls of every item that is not inlined. Steps that only pass a variable's value on vanish
// where their consumer can read the value where it lies. The program must be finished and not
// folded into one constant.
// Everything, the result included, lives in `scratch`.
std::pmr::vector<ZrPlanStep> buildExecutionPlan(ZrProgram& program, std::pmr::memory_resource* scratch);
