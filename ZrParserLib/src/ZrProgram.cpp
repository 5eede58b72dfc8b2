// The compiled program's storage: steps, their owned instances and the block of values.
#include "ZrProgram.h"

#include <iterator>

ZrProgramItem& ZrProgram::append(ZrParserItemI* item, unsigned nbArgs, unsigned position)
{
    ZrProgramItem step;
    step.item = item;
    step.nbArgs = nbArgs;
    step.argOffset = values.size();
    step.position = position;
    values.resize(values.size() + nbArgs, 0.0);
    items.push_back(std::move(step));
    return items.back();
}

ZrProgramItem& ZrProgram::append(std::unique_ptr<ZrParserItemI> instance, unsigned nbArgs, unsigned position)
{
    ZrProgramItem& step = append(instance.get(), nbArgs, position);
    step.ownedItem = std::move(instance);
    return step;
}

void ZrProgram::prependHeads(const std::vector<ZrParserItemI*>& variablesInFirstUseOrder)
{
    std::vector<ZrProgramItem> steps;
    steps.reserve(variablesInFirstUseOrder.size() + items.size());
    for (auto it = variablesInFirstUseOrder.rbegin(); it != variablesInFirstUseOrder.rend(); ++it) {
        ZrProgramItem& head = steps.emplace_back();
        head.item = *it;
        head.isVarHead = true;
    }
    std::move(items.begin(), items.end(), std::back_inserter(steps));
    items.swap(steps);
}

void ZrProgram::fixValues()
{
    std::size_t ownSlots = 1;
    for (const ZrProgramItem& step : items)
        ownSlots += step.isVarHead ? 1 : 0;
    std::size_t next = values.size();
    values.resize(values.size() + ownSlots, 0.0);
    // Thousands of programs live side by side in a show: each keeps no spare room.
    values.shrink_to_fit();
    for (ZrProgramItem& step : items) {
        step.args = values.data() + step.argOffset;
        if (step.isVarHead)
            step.result = values.data() + next++;
    }
    items.back().result = values.data() + next;
}
