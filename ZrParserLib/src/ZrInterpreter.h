// The interpreter of execution plans: a compact instruction list run by one switch, with the
// operators and pure functions inline and pairs of arithmetic operations fused into one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <span>
#include <vector>

#include "zrparser/ZrExecutionPlan.h"

class ZrInterpreter {
public:
    // Instructions for `steps`, whose last step writes *result; its work is done in `scratch`.
    // With a relocation, the instructions address the block and the instances it names
    // relative to what runRelocated is given; plans with branches or loads through a calling
    // expression cannot be relocated.
    ZrInterpreter(std::span<const ZrPlanStep> steps, const double* result, std::pmr::memory_resource* scratch,
                  const ZrInstanceLayout* relocation = nullptr);

    // Runs every instruction once, in order; allocates nothing.
    double run() const;
    // Runs the relocated instructions for the instance whose block starts at `values` and whose
    // per-use instances are items[0..]; allocates nothing.
    double runRelocated(double* values, ZrParserItemI* const* items) const;

    static double runEntry(const void* interpreter) { return static_cast<const ZrInterpreter*>(interpreter)->run(); }

private:
    // The plan's operations, then the fused pairs: for outer and inner arithmetic operations O
    // and I (add, subtract, multiply, divide), O(I(a, b), c) and O(c, I(a, b)).
    using Code = std::uint8_t;
    static constexpr Code FUSED = 64;
    // Which fields of a relocated instruction are offsets (bytes into the block, or the index of a
    // per-use instance) rather than addresses.
    enum Relocated : std::uint8_t { DST_BIT = 1, A_BIT = 2, B_BIT = 4, C_BIT = 8, ARGS = 16, ITEM = 32 };
    static Code fusedCode(ZrPlanOp inner, ZrPlanOp outer, bool innerOnTheLeft);

    struct Instruction {
        Code code;
        std::uint8_t relocated;
        unsigned nbArgs;
        double* dst;
        const double* a;
        const double* b;
        const double* c;
        union {
            ZrParserItemI* item;
            double (*unary)(double);
            double (*binary)(double, double);
            const double* const* through;
            const ZrProgramRunner* branches; // two
            std::size_t ownItem;             // ITEM: the index of the per-use instance
        };
        double* args;
    };

    Instruction translate(const ZrPlanStep& step, const ZrProgramRunner* branches);
    static double runBranch(const ZrProgramRunner& branch)
    {
        return branch.constant ? *branch.constant : branch.run(branch.state);
    }
    // Fuses each arithmetic operation into the arithmetic operation that reads its result.
    static void fuseArithmeticPairs(std::pmr::vector<Instruction>& code, std::pmr::memory_resource* scratch);
    void relocate(const ZrInstanceLayout& relocation);

    std::vector<Instruction> code_;
    std::vector<ZrProgramRunner> branches_; // two per Choose, in order
    const double* result_; // with a relocation: its offset in bytes
};
