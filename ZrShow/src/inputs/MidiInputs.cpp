// MIDI messages taken in order each frame and given to the mappings and the clock they are for.
#include "zrshow/inputs/MidiInputs.h"

#include "zrshow/inputs/MidiClock.h"

namespace zrshow {

namespace {

// Status bytes: the kind in the high half, the channel (0 to 15) in the low half.
constexpr std::uint8_t NOTE_OFF = 0x80;
constexpr std::uint8_t NOTE_ON = 0x90;
constexpr std::uint8_t CONTROL_CHANGE = 0xB0;
constexpr std::uint8_t CLOCK = 0xF8;
constexpr std::uint8_t START = 0xFA;
constexpr std::uint8_t CONTINUE = 0xFB;
constexpr std::uint8_t STOP = 0xFC;

double percentOf(std::uint8_t value)
{
    return value * 100.0 / 127.0;
}

} // namespace

MidiInputs::MidiInputs(std::vector<Mapping> mappings, const std::string& clockPort, MidiClock* clock)
    : mappings_(std::move(mappings)), clock_(clock)
{
    for (const Mapping& mapping : mappings_)
        mappingPorts_.push_back(open(mapping.midi.port));
    if (clock_ && !clockPort.empty())
        clockPort_ = open(clockPort);
}

std::size_t MidiInputs::open(const std::string& name)
{
    for (std::size_t p = 0; p < portNames_.size(); ++p) {
        if (portNames_[p] == name)
            return p;
    }
    ports_.push_back(std::make_unique<MidiPort>(name));
    portNames_.push_back(name);
    return ports_.size() - 1;
}

void MidiInputs::beforeFrame(std::uint64_t, std::chrono::steady_clock::time_point)
{
    for (std::size_t p = 0; p < ports_.size(); ++p)
        ports_[p]->takeWaiting([this, p](const MidiMessage& message) { dispatch(p, message); });
}

void MidiInputs::dispatch(std::size_t port, const MidiMessage& message)
{
    if (port == clockPort_) {
        switch (message.status) {
        case CLOCK: clock_->pulse(message.instant); return;
        case START: clock_->start(); return;
        case CONTINUE: clock_->resume(); return;
        case STOP: clock_->stop(); return;
        default: break;
        }
    }
    const std::uint8_t kind = message.status & 0xF0;
    const unsigned channel = (message.status & 0x0F) + 1u;
    for (std::size_t m = 0; m < mappings_.size(); ++m) {
        const ShowMidi& midi = mappings_[m].midi;
        if (mappingPorts_[m] != port || (midi.channel != 0 && midi.channel != channel) || midi.number != message.data1)
            continue;
        if (midi.kind == ShowMidi::Kind::ControlChange && kind == CONTROL_CHANGE)
            *mappings_[m].variable = percentOf(message.data2);
        // A note is its velocity while held; note off, or note on with velocity 0, lets go.
        else if (midi.kind == ShowMidi::Kind::Note && kind == NOTE_ON)
            *mappings_[m].variable = percentOf(message.data2);
        else if (midi.kind == ShowMidi::Kind::Note && kind == NOTE_OFF)
            *mappings_[m].variable = 0.0;
    }
}

} // namespace zrshow
