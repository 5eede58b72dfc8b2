// A MIDI input port (RtMidi, over ALSA or JACK), opened by a part of its name; what arrives on
// it reaches the frame loop through a lock-free ring, stamped with when it arrived.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zrparser/ZrExport.h"
#include "zrshow/inputs/SpscRing.h"

namespace zrshow {

// One MIDI message of up to three bytes (system exclusive messages are not taken).
struct MidiMessage {
    std::chrono::steady_clock::time_point instant;
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
};

class ZR_API MidiPort {
public:
    // Opens the first input port, of any MIDI system this machine has, whose name contains
    // `name`. Throws InputError naming the ports there are when none does.
    explicit MidiPort(const std::string& name);
    ~MidiPort();
    MidiPort(const MidiPort&) = delete;
    MidiPort& operator=(const MidiPort&) = delete;

    // The port's whole name, as its MIDI system gives it.
    const std::string& name() const { return name_; }

    // Frame loop: hands every message waiting, oldest first, to take(message). Allocates nothing.
    template <class Take>
    void takeWaiting(Take take)
    {
        messages_.drain(take);
    }

    // Called by RtMidi on its own thread for every message.
    void receive(const unsigned char* bytes, std::size_t count);

private:
    struct Input;
    std::unique_ptr<Input> input_;
    std::string name_;
    SpscRing<MidiMessage> messages_;
};

// The input ports of every MIDI system this machine has, by name.
ZR_API std::vector<std::string> midiInputPorts();

} // namespace zrshow
