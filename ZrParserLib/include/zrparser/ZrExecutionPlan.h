// The execution plan of a compiled program: what a parser runs at each evaluation, derived from
// its program after compiling and folding. The built-in operators and the pure default functions
// become operations on doubles; everything else stays one call of the item's evaluate, in
// program order, so stateful items see exactly the calls the program makes. A back end that
// turns a plan into machine code implements ZrCodeGeneratorI and is installed by its library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "zrparser/ZrExport.h"
#include "zrparser/ZrParserItemI.h"

// Which machine runs a parser's program.
enum class ZrExecutionTier : std::uint8_t {
    Reference,   // one evaluate call per program step, in order: the plain loop every tier must match
    Interpreter, // the plan, interpreted with the operators and pure functions inline
    MachineCode, // the plan as machine code; the interpreter where no code generator can make it
};

enum class ZrPlanOp : std::uint8_t {
    Copy,         // *dst = *a
    LoadThrough,  // *dst = **through: a variable of a calling expression, read where its head put it
    Call,         // *dst = item->evaluate(nbArgs, args)
    Add,          // *dst = *a + *b
    Subtract,     // *dst = *a - *b
    Multiply,     // *dst = *a * *b
    Divide,       // *dst = *a / *b
    Negate,       // *dst = -*a
    Minimum,      // *dst = *a < *b ? *a : *b
    Maximum,      // *dst = *a > *b ? *a : *b
    Greater,      // *dst = *a > *b ? 100 : 0, and likewise below
    Less,
    GreaterEqual,
    LessEqual,
    Equal,
    NotEqual,     // 100 unless *a == *b
    And,          // 0 if either is 0, else 100
    Or,           // 100 if either is not 0, else 0
    Not,          // 100 if *a is 0, else 0
    Unary,        // *dst = unary(*a), a pure default function of one argument
    Binary,       // *dst = binary(*a, *b), a pure default function of two arguments
    Choose,       // *dst = *a > 0 ? branch[0] : branch[1], running only the branch chosen
    Square,       // *dst = pow(*a, 2) exactly as the C library gives it; unary(*a) computes it
};

// How to run a program that another program's step runs: run(state) gives its value.
struct ZrProgramRunner {
    double (*run)(const void*) = nullptr;
    const void* state = nullptr;
    const double* constant = nullptr; // the value, when the program folded into one constant
};

// One operation. Its operands are addresses: argument slots of the program, constants folded
// into them, and the host's bound variables.
struct ZrPlanStep {
    ZrPlanOp op = ZrPlanOp::Copy;
    double* dst = nullptr;
    const double* a = nullptr;
    const double* b = nullptr;
    double (*unary)(double) = nullptr;
    double (*binary)(double, double) = nullptr;
    const double* const* through = nullptr; // LoadThrough
    ZrParserItemI* item = nullptr;          // Call
    unsigned nbArgs = 0;                    // Call
    double* args = nullptr;                 // Call
    ZrProgramRunner branch[2];              // Choose: the branch when *a > 0, and the other
};

// Machine code made from a plan; runs it once per call of its entry and returns the result.
// The entry receives the `result` address given to the generator.
class ZR_API ZrMachineCodeI {
public:
    using Entry = double (*)(const void* result);
    virtual Entry entry() const = 0;
    virtual ~ZrMachineCodeI() = default;
};

// Where a plan's own values and per-use instances lie, when one plan runs for many instances of
// a formula (ZrFormulaInstances): each instance has a row of values laid out as `block` and a row
// of per-use instances in the order of `ownItems`. Every other address is shared by them all.
struct ZrInstanceLayout {
    const double* block = nullptr;
    std::size_t blockSize = 0; // in values
    std::span<ZrParserItemI* const> ownItems;
};

// Machine code that runs a plan for a run of instances in one loop.
class ZR_API ZrInstanceLoopI {
public:
    // Runs the plan for `count` instances in order: the rows of values from `values` on, the rows
    // of per-use instances from `items` on; results[i] gets instance i's result.
    using Entry = void (*)(double* values, ZrParserItemI* const* items, std::size_t count, double* results);
    virtual Entry entry() const = 0;
    virtual ~ZrInstanceLoopI() = default;
};

class ZR_API ZrCodeGeneratorI {
public:
    // Code that runs `steps` in order and returns *result; null when it cannot be made, and the
    // parser then interprets the plan.
    virtual std::unique_ptr<ZrMachineCodeI> generate(std::span<const ZrPlanStep> steps, const double* result) = 0;
    // Code that runs `steps` for a run of instances laid out as `layout` (a plan without branches
    // or loads through a calling expression); null when it cannot be made.
    virtual std::unique_ptr<ZrInstanceLoopI> generateLoop(std::span<const ZrPlanStep> /*steps*/,
                                                          const double* /*result*/,
                                                          const ZrInstanceLayout& /*layout*/)
    {
        return nullptr;
    }
    virtual ~ZrCodeGeneratorI() = default;
};

namespace zr {

// Makes `generator` the one parsers use from their next compile on; null removes it. It must
// live as long as the process (a static object). Thread-safe.
ZR_API void installCodeGenerator(ZrCodeGeneratorI* generator);
ZR_API ZrCodeGeneratorI* codeGenerator();

} // namespace zr
