// Derives the execution plan of a finished program.
#pragma once

#include <vector>

#include "ZrProgram.h"
#include "zrparser/ZrExecutionPlan.h"

// The steps that compute what the program's steps compute, in the same order, with the same
// calls of every item that is not inlined. Steps that only pass a variable's value on vanish
// where their consumer can read the value where it lies. The program must be finished and not
// folded into one constant.
std::vector<ZrPlanStep> buildExecutionPlan(ZrProgram& program);
