// What a client asks of a running show, checked against the show's names before anything
// changes: a show variable takes a value, one fixture of a group or the whole group gets a new
// formula, the tempo is tapped or set. OSC messages and a web page's requests name these as
// addresses: "/zr/var/NAME" with a number, "/zr/formula/FIXTURE/INDEX/CHANNEL" (INDEX "*": the
// whole group) with the formula, "/zr/tap" with nothing, "/zr/tempo" with beats per minute. A host may ask directly.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "zrparser/ZrExport.h"
#include "zrshow/show/ShowEdits.h"
#include "zrshow/show/ShowFile.h"
#include "zrshow/show/ShowPatch.h"

namespace zrshow {

class ShowHost;

// What comes with an address: nothing (or more than one thing), a number or a text.
using ShowArgument = std::variant<std::monostate, double, std::string>;

// The edit a request stands for, or why it cannot be done (a sentence for whoever asked).
using ShowRequestResult = std::variant<ShowEdit, std::string>;

class ZR_API ShowCommands {
public:
    // Keeps a copy of the show's layout, so it reads nothing the frame loop changes.
    // `patch` and `host` must outlive this object.
    ShowCommands(ShowFile show, const ShowPatch& patch, const ShowHost& host);

    // The request `address` makes with `argument`.
    ShowRequestResult interpret(std::string_view address, const ShowArgument& argument) const;

    // The show variable `name` takes `value`; only [variables] that no input file feeds.
    ShowRequestResult setVariable(const std::string& name, double value) const;
    // Fixture `index` (from 0) of the group `fixture` gets `formula` for its channel `channel`.
    ShowRequestResult replaceFormula(const std::string& fixture, unsigned index, const std::string& channel,
                                     std::string formula) const;
    // Every fixture of the group `fixture` gets `formula` for its channel `channel` (the address
    // "/zr/formula/FIXTURE/*/CHANNEL").
    ShowRequestResult replaceGroupFormula(const std::string& fixture, const std::string& channel,
                                          std::string formula) const;
    // A tap of the tempo now; only a show whose tempo comes from taps takes it.
    ShowRequestResult tap() const;
    // The tempo source is asked for `bpm` beats a minute: taps start from it, a Link session
    // takes it for every peer.
    ShowRequestResult requestTempo(double bpm) const;

private:
    ShowFile show_;
    const ShowPatch& patch_;
    const ShowHost& host_;
};

} // namespace zrshow
