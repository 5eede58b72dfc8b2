// The compiled program: a flat postfix list of steps whose results are written straight into
// the argument slots of the steps that consume them. Every slot lives in one block of values.
#pragma once

#include <memory>
#include <vector>

#include "zrparser/ZrParserItemI.h"

struct ZrProgramItem {
    // The fields the evaluation loop reads lie where they always have: item, args, nbArgs, result.
    ZrParserItemI* item = nullptr;             // null for a literal constant
    std::unique_ptr<ZrParserItemI> ownedItem;  // the per-use instance that `item` points at, if any
    double value = 0.0;                        // the value of a constant step
    bool isConst = false;                      // the value is known and the step is never called
    bool isVarHead = false;                    // reads a variable once, at the front of the program
    int constIndex = -1;                       // the registrar's constant a literal was read from, if any
    double* args = nullptr;                    // nbArgs argument slots in the program's values, filled by producers
    unsigned nbArgs = 0;
    unsigned position = 0;                     // where the step's token began in the space-free text
    std::size_t argOffset = 0;                 // where args begin in the program's values
    double* result = nullptr;                  // an args slot of the consumer, or the step's own slot
    ZrFunctionI* prototype = nullptr;          // the registrar's function `ownedItem` was spawned from, if any

    ZrProgramItem() = default;
    ZrProgramItem(ZrProgramItem&&) = default;
    ZrProgramItem& operator=(ZrProgramItem&&) = default;
    ZrProgramItem(const ZrProgramItem&) = delete;
    ZrProgramItem& operator=(const ZrProgramItem&) = delete;
};

// The steps, the per-use instances they own, and one contiguous block of every value the
// program reads and writes: the argument slots of each step, then one slot per variable head
// and one for the result. The block grows while the text is parsed and is fixed once the
// program is finished, when the pointers into it are set.
struct ZrProgram {
    std::vector<ZrProgramItem> items;
    std::vector<double> values;

    // Appends a step for a shared item (or a literal, item null), with nbArgs zeroed slots.
    ZrProgramItem& append(ZrParserItemI* item, unsigned nbArgs, unsigned position);
    // Appends a step that owns its per-use instance.
    ZrProgramItem& append(std::unique_ptr<ZrParserItemI> instance, unsigned nbArgs, unsigned position);
    // Puts one variable head step per variable at the front, the variable used first last.
    void prependHeads(const std::vector<ZrParserItemI*>& variablesInFirstUseOrder);
    // Adds the slots of the heads and of the result, and points every step's args (and the
    // heads' and the last step's result) into the block, which no longer moves.
    void fixValues();
    void clear()
    {
        items.clear();
        values.clear();
    }

    std::size_t size() const { return items.size(); }
    bool empty() const { return items.empty(); }
    ZrProgramItem& operator[](std::size_t i) { return items[i]; }
    ZrProgramItem& back() { return items.back(); }
};
