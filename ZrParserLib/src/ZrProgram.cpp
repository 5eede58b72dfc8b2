// The compiled program's storage: steps, their argument arrays and owned instances.
#include "ZrProgram.h"

#include <iterator>

ZrProgramItem& ZrProgram::append(ZrParserItemI* item, unsigned nbArgs, unsigned position)
{
    ZrProgramItem step;
    step.item = item;
    step.nbArgs = nbArgs;
    step.position = position;
    if (nbArgs > 0)
        step.args = std::make_unique<double[]>(nbArgs);
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
