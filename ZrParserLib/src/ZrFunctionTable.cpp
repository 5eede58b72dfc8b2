// The function table of a registrar: own overloads and shadowing copies made on first use.
#include "ZrFunctionTable.h"

#include <iterator>

namespace {

std::wstring textOf(const wchar_t* s)
{
    return s ? s : L"";
}

} // namespace

std::shared_ptr<const ZrFunctionTable::Shadows> ZrFunctionTable::describe(std::vector<ZrFunctionI*> prototypes,
                                                                           const std::shared_ptr<const Shadows>& previous)
{
    if (prototypes.empty())
        return nullptr;
    if (previous && previous->prototypes == prototypes)
        return previous;
    auto shadows = std::make_shared<Shadows>();
    shadows->prototypes = std::move(prototypes);
    for (unsigned i = 0; i < shadows->prototypes.size(); ++i)
        shadows->index.emplace(textOf(shadows->prototypes[i]->getSymbol()), i);
    return shadows;
}

void ZrFunctionTable::shadow(std::shared_ptr<const Shadows> shadows)
{
    shadows_ = std::move(shadows);
    shadowCopies_.clear();
}

ZrFunctionI* ZrFunctionTable::at(unsigned index)
{
    if (index >= nbShadows())
        return own_[index - nbShadows()].item.get();
    if (shadowCopies_.empty())
        shadowCopies_.resize(nbShadows());
    std::unique_ptr<ZrFunctionI>& copy = shadowCopies_[index];
    if (!copy)
        copy.reset(shadows_->prototypes[index]->spawn());
    return copy.get();
}

ZrFunctionI* ZrFunctionTable::prototypeAt(unsigned index) const
{
    if (index >= nbShadows())
        return own_[index - nbShadows()].item.get();
    return shadows_->prototypes[index];
}

void ZrFunctionTable::add(std::unique_ptr<ZrFunctionI> func)
{
    std::wstring symbol = textOf(func->getSymbol());
    own_.push_back({std::move(func), std::move(symbol)});
    ownIndex_.emplace(own_.back().symbol, static_cast<unsigned>(own_.size() - 1));
}

void ZrFunctionTable::remove(unsigned index)
{
    if (index < nbShadows())
        detachShadows();
    own_.erase(own_.begin() + index);
    rebuildIndex();
}

void ZrFunctionTable::detachShadows()
{
    std::vector<Entry> entries;
    entries.reserve(nbShadows() + own_.size());
    for (unsigned i = 0; i < nbShadows(); ++i) {
        at(i);
        entries.push_back({std::move(shadowCopies_[i]), textOf(shadows_->prototypes[i]->getSymbol())});
    }
    std::move(own_.begin(), own_.end(), std::back_inserter(entries));
    own_.swap(entries);
    shadows_.reset();
    shadowCopies_.clear();
}

void ZrFunctionTable::rebuildIndex()
{
    ownIndex_.clear();
    for (unsigned i = 0; i < own_.size(); ++i)
        ownIndex_.emplace(own_[i].symbol, i);
}
