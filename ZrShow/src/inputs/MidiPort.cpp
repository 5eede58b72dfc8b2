// RtMidi input ports: every compiled MIDI system is asked, since a machine may have JACK without
// an ALSA sequencer or the other way round.
#include "zrshow/inputs/MidiPort.h"

#include <filesystem>

#include <RtMidi.h>

#include "zrhost/InputError.h"

namespace zrshow {

namespace {

// Messages that may wait for the frame loop: MIDI clock sends 96 a second at 240 beats a
// minute, so this is many frames' worth.
constexpr std::size_t WAITING_MESSAGES = 4096;

// An RtMidi input of each MIDI system that starts on this machine.
std::vector<std::unique_ptr<RtMidiIn>> inputsOfEverySystem()
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    std::vector<std::unique_ptr<RtMidiIn>> inputs;
    for (RtMidi::Api api : apis) {
        // Without the ALSA sequencer's device, asking ALSA only prints its complaint.
        if (api == RtMidi::LINUX_ALSA && !std::filesystem::exists("/dev/snd/seq"))
            continue;
        try {
            inputs.push_back(std::make_unique<RtMidiIn>(api, "zrshow"));
        } catch (const RtMidiError&) {
            // This MIDI system is not running here (no ALSA sequencer, no JACK server).
        }
    }
    return inputs;
}

void onMessage(double, std::vector<unsigned char>* bytes, void* port)
{
    static_cast<MidiPort*>(port)->receive(bytes->data(), bytes->size());
}

} // namespace

struct MidiPort::Input {
    std::unique_ptr<RtMidiIn> rtmidi;
};

MidiPort::MidiPort(const std::string& name) : messages_(WAITING_MESSAGES)
{
    for (auto& input : inputsOfEverySystem()) {
        for (unsigned port = 0; port < input->getPortCount(); ++port) {
            const std::string portName = input->getPortName(port);
            if (portName.find(name) == std::string::npos)
                continue;
            name_ = portName;
            // Clock and its start and stop are wanted; system exclusive and active sensing are not.
            input->ignoreTypes(true, false, true);
            input->setCallback(&onMessage, this);
            input->openPort(port, "zrshow input");
            input_ = std::make_unique<Input>(Input{std::move(input)});
            return;
        }
    }
    std::string known;
    for (const std::string& port : midiInputPorts())
        known += (known.empty() ? "" : ", ") + ("'" + port + "'");
    throw zrhost::InputError("no MIDI input port is called '" + name + "'" +
                             (known.empty() ? std::string(" (this machine has none)") : " (there are " + known + ")"));
}

MidiPort::~MidiPort()
{
    if (input_)
        input_->rtmidi->closePort();
}

void MidiPort::receive(const unsigned char* bytes, std::size_t count)
{
    if (count == 0 || count > 3)
        return;
    MidiMessage message{std::chrono::steady_clock::now(), bytes[0], count > 1 ? bytes[1] : std::uint8_t{0},
                        count > 2 ? bytes[2] : std::uint8_t{0}};
    messages_.write(1, [&message](std::size_t) { return message; });
}

std::vector<std::string> midiInputPorts()
{
    std::vector<std::string> ports;
    for (const auto& input : inputsOfEverySystem()) {
        for (unsigned port = 0; port < input->getPortCount(); ++port)
            ports.push_back(input->getPortName(port));
    }
    return ports;
}

} // namespace zrshow
