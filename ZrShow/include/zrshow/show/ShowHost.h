// The host side of a running show: one host parser (signal plug-in, __timeInc for the show's
// fps), the show's variables, constants and macros, and the input files.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zrhost/FrameInputs.h"
#include "zrhost/HostParser.h"
#include "zrparser/ZrExport.h"
#include "zrshow/ShowRunOptions.h"
#include "zrshow/show/ShowFile.h"

namespace zrshow {

class ShowProblems;

class ZR_API ShowHost {
public:
    // Reads the input files (throws InputError), then sets up the host parser (throws
    // LibraryFailure when the plug-in cannot be loaded) and defines the show's definitions,
    // adding each one the library refuses to `problems` with its line. A show variable that an
    // input file also feeds is the input's: the file's value arrives every frame.
    ShowHost(const ShowFile& show, const ShowInputFiles& files, ShowProblems& problems);

    ZrParser& parser() { return *parser_; }
    zrhost::FrameInputs& inputs() { return *inputs_; }

    // Where the value of the show variable `name` lives, for setting it from outside; nullptr
    // when the show has no such variable or an input file feeds it.
    double* showVariable(const std::string& name) const;

private:
    zrhost::HostVariables variables_; // before the parser: it reads them at every evaluation
    std::unique_ptr<zrhost::FrameInputs> inputs_;
    std::unique_ptr<ZrParser> parser_;
    std::vector<std::pair<std::string, double*>> showVariables_;
};

} // namespace zrshow
