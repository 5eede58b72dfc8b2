// Audio from a sound card as a live input: the device's channels mixed to mono reach the frame
// loop through a lock-free ring, and before each frame the samples that arrived since the
// previous one are analysed as an audio file's frame is (level, bass, mid, high, and the tempo
// when a beat tracker listens). Capture goes through PortAudio: ALSA, PulseAudio (through
// ALSA's default device) and JACK.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zrhost/AudioAnalysis.h"
#include "zrhost/FrameInputs.h"
#include "zrparser/ZrExport.h"
#include "zrshow/inputs/LiveInput.h"
#include "zrshow/inputs/SpscRing.h"

namespace zrshow {

// An input device as PortAudio knows it.
struct AudioDevice {
    int number = 0;             // PortAudio's device index: what AudioInput takes besides the name
    std::string name;
    std::string hostApi;        // "ALSA", "JACK Audio Connection Kit", ...
    int inputChannels = 0;
    double defaultSampleRate = 0.0;
    bool isDefault = false;     // the default input device
};

// The input devices that can be opened, in PortAudio's order. Throws InputError when the audio
// system cannot start.
ZR_API std::vector<AudioDevice> audioInputDevices();

class ZR_API AudioInput final : public LiveInput {
public:
    // Opens the input device `device`: "" for the default one, else a device's number or its
    // name (exactly, or a part of it that only one device's name has), and starts capturing.
    // `clientName` is what a sound server such as JACK calls this program. Adds the variables of
    // audio to `variables`, the tempo's when `tracker` is given. Throws InputError naming the
    // device and why it cannot be used.
    AudioInput(const std::string& device, zrhost::HostVariables& variables, zrhost::BeatTrackerFactory tracker,
               const std::string& clientName);
    // Audio at `sampleRate` that a producer of its own writes into ring(); `source` names it in
    // the variables' definition texts.
    AudioInput(double sampleRate, zrhost::HostVariables& variables, zrhost::BeatTrackerFactory tracker,
               const std::string& source);
    ~AudioInput() override;
    AudioInput(const AudioInput&) = delete;
    AudioInput& operator=(const AudioInput&) = delete;

    // Analyses the samples that arrived since the previous frame and writes the variables. A
    // frame that no sample reached keeps the previous values (beat 0). Allocates nothing.
    void beforeFrame(std::uint64_t frame, std::chrono::steady_clock::time_point instant) override;

    SampleRing& ring() { return ring_; }
    double sampleRate() const { return sampleRate_; }
    // What the device is called, or the source given.
    const std::string& name() const { return name_; }
    // Samples lost because the frame loop did not take them in time.
    std::uint64_t droppedSamples() const { return ring_.dropped(); }

private:
    class Stream;

    SampleRing ring_; // before the stream, whose callback writes into it
    std::unique_ptr<Stream> stream_;
    double sampleRate_;
    std::string name_;
    zrhost::AudioAnalyser analyser_;
    zrhost::AudioVariables variables_;
    zrhost::AudioFrame last_;
};

} // namespace zrshow
