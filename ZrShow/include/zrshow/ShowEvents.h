// Where a running show tells the person running it what happens: edits taken or refused, reloads,
// requests it cannot do. The front end provides it (a terminal, a log, a page); the show runtime
// never writes to the terminal itself.
#pragma once

#include <string>

#include "zrparser/ZrExport.h"

namespace zrshow {

class ZR_API ShowEvents {
public:
    virtual ~ShowEvents() = default;

    // One or more lines of text. Called from the frame loop, the OSC thread and the file
    // watcher, possibly at the same time.
    virtual void message(const std::string& text) = 0;

    // The show file at `path` changed in a way a running show cannot take (`changes`, such as
    // "fixture 'pars', the outputs"); the show runs on as it was. By default a message that
    // says to restart the show.
    virtual void structureChanged(const std::string& path, const std::string& changes);
};

// The message for such a change; `restart` is how to start the show again ("restart the show").
ZR_API std::string structureChangeMessage(const std::string& path, const std::string& changes,
                                          const std::string& restart);

} // namespace zrshow
