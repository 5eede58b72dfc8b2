// The compiled program's storage: steps, their argument arrays and owned items.
#include "ZrProgram.h"

#include "zrparser/ZrParserItemI.h"

namespace {

void release(ZrProgramItem& step)
{
    delete[] step.args;
    step.args = nullptr;
    if (step.owned)
        delete step.item;
    step.item = nullptr;
}

} // namespace

ZrProgramItem& ZrProgram::append(ZrParserItemI* item, unsigned nbArgs, bool owned, unsigned position)
{
    ZrProgramItem step;
    step.item = item;
    step.nbArgs = nbArgs;
    step.owned = owned;
    step.position = position;
    items.push_back(step);
    // Allocated after the push so a failed push cannot leak the array.
    if (nbArgs > 0)
        items.back().args = new double[nbArgs]();
    return items.back();
}

void ZrProgram::prependHeads(const std::vector<ZrParserItemI*>& variablesInFirstUseOrder)
{
    std::vector<ZrProgramItem> heads;
    heads.reserve(variablesInFirstUseOrder.size() + items.size());
    for (auto it = variablesInFirstUseOrder.rbegin(); it != variablesInFirstUseOrder.rend(); ++it) {
        ZrProgramItem step;
        step.item = *it;
        step.isVarHead = true;
        heads.push_back(step);
    }
    heads.insert(heads.end(), items.begin(), items.end());
    items.swap(heads);
}

void ZrProgram::remove(std::size_t index)
{
    release(items[index]);
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
}

void ZrProgram::clear()
{
    for (ZrProgramItem& step : items)
        release(step);
    items.clear();
}
