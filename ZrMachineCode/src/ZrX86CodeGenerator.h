// The x86-64 back end: execution plans as machine code, values kept in SSE registers between the
// operations that make and use them.
#pragma once

#include "zrparser/ZrExecutionPlan.h"

class ZrX86CodeGenerator final : public ZrCodeGeneratorI {
public:
    // Code for `steps`, or null when asmjit cannot make it (out of executable memory, say).
    std::unique_ptr<ZrMachineCodeI> generate(std::span<const ZrPlanStep> steps, const double* result) override;
    std::unique_ptr<ZrInstanceLoopI> generateLoop(std::span<const ZrPlanStep> steps, const double* result,
                                                  const ZrInstanceLayout& layout) override;
};
