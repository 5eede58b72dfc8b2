// What an OSC message asks of a running show, checked against the show's names:
// "/zr/var/NAME" with a number sets a show variable, "/zr/formula/FIXTURE/INDEX/CHANNEL" with
// a string replaces the formula of one fixture of a group.
#pragma once

#include <string>
#include <variant>

#include "ShowEdits.h"
#include "ShowFile.h"
#include "ShowPatch.h"

namespace zrsignal {

class ShowHost;

// One received message, its single argument already taken out ('\0': none or several).
struct OscMessage {
    std::string path;
    char type = '\0'; // OSC type tag: 'f', 'd', 'i', 'h' (numbers), 's' (text)
    double number = 0.0;
    std::string text;
};

class OscCommands {
public:
    // Keeps a copy of the show's layout, so it reads nothing the frame loop changes.
    // `patch` and `host` must outlive this object.
    OscCommands(ShowFile show, const ShowPatch& patch, const ShowHost& host);

    // The edit `message` asks for, or why it cannot be done (a sentence for the sender).
    std::variant<ShowEdit, std::string> interpret(const OscMessage& message, const OscSender& from) const;

private:
    ShowFile show_;
    const ShowPatch& patch_;
    const ShowHost& host_;
};

} // namespace zrsignal
