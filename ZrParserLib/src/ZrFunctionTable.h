// One registrar's own functions: overloads by symbol in definition order, after the spawned
// copies that shadow the parent's non-inheritable functions. Those copies are described by one
// table shared by all the children of a parent and made for each child only when it uses them.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zrparser/ZrParserItemI.h"

class ZrFunctionTable {
public:
    // The prototypes a linked child shadows, one per symbol and argument count, in index order.
    struct Shadows {
        std::vector<ZrFunctionI*> prototypes;
        std::multimap<std::wstring, unsigned> index;
    };

    // The shared description of `prototypes`: `previous` when it describes the same ones.
    static std::shared_ptr<const Shadows> describe(std::vector<ZrFunctionI*> prototypes,
                                                   const std::shared_ptr<const Shadows>& previous);

    // Makes this table start with copies of `shadows`.
    void shadow(std::shared_ptr<const Shadows> shadows);

    unsigned size() const { return nbShadows() + static_cast<unsigned>(own_.size()); }
    // The function at `index`; a shadowing copy is spawned on first use.
    ZrFunctionI* at(unsigned index);
    // The function at `index`, or for a shadowing copy its prototype (same class and texts).
    ZrFunctionI* prototypeAt(unsigned index) const;

    void add(std::unique_ptr<ZrFunctionI> func);
    // Removes the function at `index` (index < size()).
    void remove(unsigned index);

    // Visits the overloads of `name` in index order as visit(index, nbArgs) until it returns true.
    template <class Visit>
    bool findOverload(const std::wstring& name, Visit&& visit) const
    {
        if (shadows_) {
            auto [first, last] = shadows_->index.equal_range(name);
            for (auto it = first; it != last; ++it)
                if (visit(it->second, shadows_->prototypes[it->second]->getNbArgs()))
                    return true;
        }
        auto [first, last] = ownIndex_.equal_range(name);
        for (auto it = first; it != last; ++it)
            if (visit(nbShadows() + it->second, own_[it->second].item->getNbArgs()))
                return true;
        return false;
    }

private:
    struct Entry {
        std::unique_ptr<ZrFunctionI> item;
        std::wstring symbol;
    };

    unsigned nbShadows() const { return shadows_ ? static_cast<unsigned>(shadows_->prototypes.size()) : 0; }
    // Turns the shadowing copies into own entries, all spawned, in front of the others.
    void detachShadows();
    void rebuildIndex();

    std::shared_ptr<const Shadows> shadows_;
    std::vector<std::unique_ptr<ZrFunctionI>> shadowCopies_; // made on first use
    std::vector<Entry> own_;
    std::multimap<std::wstring, unsigned> ownIndex_;
};
