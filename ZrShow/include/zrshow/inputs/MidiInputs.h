// MIDI into a running show: the [[midi]] mappings (a note's velocity or a controller's value sets
// a show variable from the next frame on) and the MIDI clock of a [tempo] source "midiclock".
// One port is opened once, whatever uses it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "zrparser/ZrExport.h"
#include "zrshow/inputs/LiveInput.h"
#include "zrshow/inputs/MidiPort.h"
#include "zrshow/show/ShowFile.h"

namespace zrshow {

class MidiClock;

class ZR_API MidiInputs final : public LiveInput {
public:
    // A mapping whose variable the show has: it writes there.
    struct Mapping {
        ShowMidi midi;
        double* variable;
    };

    // Opens the ports of `mappings` and of `clockPort` (empty: none), which feeds `clock`; both
    // must outlive this input, and the clock is read after this input each frame. Throws
    // InputError when a port cannot be opened.
    MidiInputs(std::vector<Mapping> mappings, const std::string& clockPort, MidiClock* clock);

    void beforeFrame(std::uint64_t frame, std::chrono::steady_clock::time_point instant) override;

private:
    // The index of the port `name`, opened on first use.
    std::size_t open(const std::string& name);
    void dispatch(std::size_t port, const MidiMessage& message);

    std::vector<std::unique_ptr<MidiPort>> ports_;
    std::vector<std::string> portNames_;     // as the show file names them, for sharing a port
    std::vector<std::size_t> mappingPorts_;  // the port of each mapping
    std::vector<Mapping> mappings_;
    std::size_t clockPort_ = SIZE_MAX;
    MidiClock* clock_ = nullptr;
};

} // namespace zrshow
