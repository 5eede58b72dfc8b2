// The compiled program: a flat postfix list of steps whose results are written straight into
// the argument slots of the steps that consume them.
#pragma once

#include <vector>

#include "zrparser/ZrExport.h"

class ZrParserItemI;

struct ZrProgramItem {
    ZrParserItemI* item = nullptr; // null for a literal constant
    double value = 0.0;            // folded value; result slot of the root and of variable heads
    bool isConst = false;          // the value is known and the step is never called
    double* args = nullptr;        // nbArgs argument slots, filled by producers
    unsigned nbArgs = 0;
    double* result = nullptr;      // an args slot of the consumer, or this step's own value
    bool owned = false;            // the program deletes the item with the step
    unsigned position = 0;         // where the step's token began in the space-free text
    bool isVarHead = false;        // reads a variable once, at the front of the program
};

// Owns the steps' argument arrays and the items marked as owned.
struct ZrProgram {
    std::vector<ZrProgramItem> items;

    ZrProgram() = default;
    ZrProgram(const ZrProgram&) = delete;
    ZrProgram& operator=(const ZrProgram&) = delete;
    ~ZrProgram() { clear(); }

    // Appends a step with a fresh argument array of nbArgs slots.
    ZrProgramItem& append(ZrParserItemI* item, unsigned nbArgs, bool owned, unsigned position);
    // Puts one variable head step per variable at the front, the variable used first last.
    void prependHeads(const std::vector<ZrParserItemI*>& variablesInFirstUseOrder);
    // Frees the step's arguments and owned item, then removes it.
    void remove(std::size_t index);
    void clear();

    std::size_t size() const { return items.size(); }
    bool empty() const { return items.empty(); }
    ZrProgramItem& operator[](std::size_t i) { return items[i]; }
    ZrProgramItem& back() { return items.back(); }
};
