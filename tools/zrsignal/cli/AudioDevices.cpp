// zrsignal devices: PortAudio's input devices, as --audio-in takes them.
#include "cli/AudioDevices.h"

#include <iostream>

#include "zrshow/inputs/AudioInput.h"

namespace zrsignal {

int listAudioDevices()
{
    const std::vector<zrshow::AudioDevice> devices = zrshow::audioInputDevices();
    if (devices.empty()) {
        std::cerr << "zrsignal devices: no audio input device can be opened\n";
        return 1;
    }
    // "3  system  (JACK Audio Connection Kit, 2 channels, 48000 Hz)", and "default" after the default input.
    for (const zrshow::AudioDevice& device : devices) {
        std::cout << device.number << "  " << device.name << "  (" << device.hostApi << ", " << device.inputChannels
                  << (device.inputChannels == 1 ? " channel, " : " channels, ") << device.defaultSampleRate << " Hz)"
                  << (device.isDefault ? "  default" : "") << '\n';
    }
    return 0;
}

} // namespace zrsignal
