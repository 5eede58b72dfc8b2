// The host side of a running show: one host parser (signal plug-in, __timeInc for the show's
// fps), the show's variables, constants and macros, the input files, and the live inputs.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "zrhost/FrameInputs.h"
#include "zrhost/HostParser.h"
#include "zrparser/ZrExport.h"
#include "zrshow/ShowRunOptions.h"
#include "zrshow/inputs/LiveInput.h"
#include "zrshow/show/ShowFile.h"

namespace zrshow {

class ShowProblems;

// Makes the live inputs of a show, each adding the variables it feeds to `variables`.
using LiveInputsMaker = std::function<std::vector<std::unique_ptr<LiveInput>>(zrhost::HostVariables& variables)>;

class ZR_API ShowHost {
public:
    // Reads the input files (throws InputError), makes the live inputs, then sets up the host
    // parser (throws LibraryFailure when the plug-in cannot be loaded) and defines the show's
    // definitions, adding each one the library refuses to `problems` with its line. A show
    // variable that an input also feeds is the input's: the input's value arrives every frame.
    // The audio's beat tracker is used only when the show's tempo comes from the audio.
    ShowHost(const ShowFile& show, const ShowInputFiles& files, ShowProblems& problems,
             const LiveInputsMaker& makeLiveInputs = {});

    ZrParser& parser() { return *parser_; }

    // Writes what the input files and the live inputs give for frame `frame`, which began at
    // `instant`. Frame loop: allocates nothing.
    void beforeFrame(std::uint64_t frame, std::chrono::steady_clock::time_point instant);
    // A live input that feeds the show's own variables (see showVariable), read before every
    // other input each frame.
    void addFirstLiveInput(std::unique_ptr<LiveInput> input);

    // Where the value of the show variable `name` lives, for setting it from outside; nullptr
    // when the show has no such variable or an input file feeds it.
    double* showVariable(const std::string& name) const;
    // Where any host variable `name` lives (a show variable or one an input feeds), for reading
    // on the frame loop's thread; nullptr when there is none.
    const double* variable(const std::string& name) const;
    // Every host variable (the show's own and those its inputs feed) with its value now; on the
    // frame loop's thread, or once it has ended.
    std::vector<zrhost::NamedNumber> variableValues() const;
    // Whether an input gives the show a tempo ("bpm", "beat", "beatphase"); a show variable
    // called bpm is no tempo.
    bool hasTempo() const { return variable("bpm") && !showVariable("bpm"); }

private:
    zrhost::HostVariables variables_; // before the parser: it reads them at every evaluation
    std::unique_ptr<zrhost::FrameInputs> inputs_;
    std::vector<std::unique_ptr<LiveInput>> live_;
    // Loops in beats: __timeInc() reads the beats of each frame, from the tempo.
    double beatIncrement_ = 0.0;
    const double* bpm_ = nullptr;
    double fps_ = 40.0;
    std::unique_ptr<ZrParser> parser_;
    std::vector<std::pair<std::string, double*>> showVariables_;
};

} // namespace zrshow
