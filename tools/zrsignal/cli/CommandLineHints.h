// The hints after a refused formula, worded for the command line: variables come from --var,
// --input and --audio, and functions are found with `zrsignal list`.
#pragma once

#include "zrhost/FormulaHints.h"

namespace zrsignal {

const zrhost::HintWording& commandLineHints();

} // namespace zrsignal
