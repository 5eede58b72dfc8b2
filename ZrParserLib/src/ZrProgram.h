// The compiled program: a flat postfix list of steps whose results are written straight into
// the argument slots of the steps that consume them.
#pragma once

#include <memory>
#include <vector>

#include "zrparser/ZrParserItemI.h"

struct ZrProgramItem {
    ZrParserItemI* item = nullptr;             // null for a literal constant
    std::unique_ptr<ZrParserItemI> ownedItem;  // the per-use instance that `item` points at, if any
    double value = 0.0;                        // folded value; result slot of the root and of variable heads
    bool isConst = false;                      // the value is known and the step is never called
    std::unique_ptr<double[]> args;            // nbArgs argument slots, filled by producers
    unsigned nbArgs = 0;
    double* result = nullptr;                  // an args slot of the consumer, or this step's own value
    unsigned position = 0;                     // where the step's token began in the space-free text
    bool isVarHead = false;                    // reads a variable once, at the front of the program

    ZrProgramItem() = default;
    ZrProgramItem(ZrProgramItem&&) = default;
    ZrProgramItem& operator=(ZrProgramItem&&) = default;
    ZrProgramItem(const ZrProgramItem&) = delete;
    ZrProgramItem& operator=(const ZrProgramItem&) = delete;
    // Per-use instances may still read variable stubs while they are destroyed, so the compiler
    // clears its program before anything else.
    ~ZrProgramItem() = default;
};

// The steps, with their argument arrays and the per-use instances they own. Argument arrays
// never move once made, so result pointers into them stay valid while steps are moved.
struct ZrProgram {
    std::vector<ZrProgramItem> items;

    // Appends a step for a shared item (or a literal, item null), with nbArgs zeroed slots.
    ZrProgramItem& append(ZrParserItemI* item, unsigned nbArgs, unsigned position);
    // Appends a step that owns its per-use instance.
    ZrProgramItem& append(std::unique_ptr<ZrParserItemI> instance, unsigned nbArgs, unsigned position);
    // Puts one variable head step per variable at the front, the variable used first last.
    void prependHeads(const std::vector<ZrParserItemI*>& variablesInFirstUseOrder);
    void clear() { items.clear(); }

    std::size_t size() const { return items.size(); }
    bool empty() const { return items.empty(); }
    ZrProgramItem& operator[](std::size_t i) { return items[i]; }
    ZrProgramItem& back() { return items.back(); }
};
