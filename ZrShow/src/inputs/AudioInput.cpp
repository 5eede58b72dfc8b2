// PortAudio capture into the sample ring, and the analysis of each frame's samples.
#include "zrshow/inputs/AudioInput.h"

#include <dlfcn.h>
#include <pa_jack.h>
#include <portaudio.h>

#include <algorithm>
#include <cctype>
#include <mutex>

#include "zrhost/InputError.h"

namespace zrshow {

using zrhost::InputError;

namespace {

// 256 frames a buffer: at 48 kHz a callback every 5.3 ms, so a sample waits at most that long
// for its callback and then at most one frame (25 ms at 40 fps) for the frame loop; bigger
// buffers add their length to the delay between a kick and the light, smaller ones cost more
// wake-ups and more dropouts on a busy machine for little gain against a 25 ms frame.
constexpr unsigned long FRAMES_PER_BUFFER = 256;
// 48 kHz where the device offers it: JACK and most interfaces run at it, so nothing resamples.
constexpr double PREFERRED_RATE = 48000.0;
// Stereo at most: a device with more channels is usually a sound server's device (PulseAudio's
// through ALSA offers 32) whose further channels are silent, and averaging silent channels in
// would lower the level.
constexpr int MAX_CHANNELS = 2;
// 2.7 s at 48 kHz: room for what arrives while the show starts or a frame compiles an edit.
constexpr std::size_t RING_SAMPLES = std::size_t{1} << 17;

extern "C" {
void ignoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
void ignoreJackMessage(const char*) {}
}

// ALSA and JACK, which PortAudio loads, write to stderr about every device they probe and fail
// to reach (no sound card, no JACK server); PortAudio returns what matters as errors, and the
// library writes nothing to the terminal. Looked up, not linked: a PortAudio without them
// loads neither.
void quietSoundLibraries()
{
    static std::once_flag once;
    std::call_once(once, [] {
        using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
        using JackHandler = void (*)(const char*);
        if (void* alsa = dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler"))
            reinterpret_cast<int (*)(AlsaHandler)>(alsa)(&ignoreAlsaMessage);
        for (const char* name : {"jack_set_error_function", "jack_set_info_function"}) {
            if (void* jack = dlsym(RTLD_DEFAULT, name))
                reinterpret_cast<void (*)(JackHandler)>(jack)(&ignoreJackMessage);
        }
    });
}

// PortAudio's text for `error`, with the host API's own when it has one.
std::string errorText(PaError error)
{
    std::string text = Pa_GetErrorText(error);
    if (error == paUnanticipatedHostError) {
        if (const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo(); host && host->errorText && *host->errorText)
            text += std::string(": ") + host->errorText;
    }
    return text;
}

// One PortAudio session: Pa_Initialize and Pa_Terminate (PortAudio counts nested sessions).
class PortAudioSession {
public:
    explicit PortAudioSession(const std::string& clientName)
    {
        quietSoundLibraries();
        {
            // JACK keeps the pointer, and takes the name only before its first session.
            static std::mutex guard;
            static std::string name;
            const std::lock_guard<std::mutex> lock(guard);
            if (name.empty() && !clientName.empty()) {
                name = clientName;
                PaJack_SetClientName(name.c_str());
            }
        }
        if (const PaError error = Pa_Initialize(); error != paNoError)
            throw InputError(std::string("audio input: the audio system cannot start: ") + errorText(error));
    }
    ~PortAudioSession() { Pa_Terminate(); }
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;
};

PaStreamParameters inputParameters(PaDeviceIndex index, const PaDeviceInfo& info)
{
    PaStreamParameters parameters{};
    parameters.device = index;
    parameters.channelCount = std::min(info.maxInputChannels, MAX_CHANNELS);
    parameters.sampleFormat = paFloat32;
    parameters.suggestedLatency = info.defaultLowInputLatency;
    return parameters;
}

// Whether the device takes input as this input would open it.
bool canOpen(PaDeviceIndex index)
{
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    if (!info || info->maxInputChannels < 1)
        return false;
    const PaStreamParameters parameters = inputParameters(index, *info);
    return Pa_IsFormatSupported(&parameters, nullptr, info->defaultSampleRate) == paFormatIsSupported ||
           Pa_IsFormatSupported(&parameters, nullptr, PREFERRED_RATE) == paFormatIsSupported;
}

std::string hostApiName(const PaDeviceInfo& info)
{
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info.hostApi);
    return api && api->name ? api->name : "unknown host API";
}

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The device `device` names: "" the default input, digits a device number, else a name.
PaDeviceIndex findDevice(const std::string& device)
{
    if (device.empty()) {
        const PaDeviceIndex index = Pa_GetDefaultInputDevice();
        if (index == paNoDevice)
            throw InputError("audio input: this machine has no default input device");
        return index;
    }
    const PaDeviceIndex count = Pa_GetDeviceCount();
    if (std::all_of(device.begin(), device.end(), [](unsigned char c) { return std::isdigit(c); })) {
        const long number = device.size() > 9 ? -1 : std::stol(device);
        const PaDeviceInfo* info = number >= 0 && number < count ? Pa_GetDeviceInfo(static_cast<PaDeviceIndex>(number)) : nullptr;
        if (!info)
            throw InputError("audio input " + device + ": there is no device with this number (" + std::to_string(count) +
                             " devices)");
        if (info->maxInputChannels < 1)
            throw InputError("audio input " + device + " ('" + info->name + "'): the device has no input");
        return static_cast<PaDeviceIndex>(number);
    }
    std::vector<PaDeviceIndex> partly;
    for (PaDeviceIndex index = 0; index < count; ++index) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (!info || info->maxInputChannels < 1)
            continue;
        if (device == info->name)
            return index;
        if (lowerCase(info->name).find(lowerCase(device)) != std::string::npos)
            partly.push_back(index);
    }
    if (partly.size() == 1)
        return partly.front();
    if (partly.empty())
        throw InputError("audio input '" + device + "': no input device has this name");
    std::string names;
    for (const PaDeviceIndex index : partly)
        names += (names.empty() ? "" : ", ") + std::to_string(index) + " '" + Pa_GetDeviceInfo(index)->name + "'";
    throw InputError("audio input '" + device + "': several input devices have this in their name: " + names);
}

} // namespace

std::vector<AudioDevice> audioInputDevices()
{
    const PortAudioSession session("");
    std::vector<AudioDevice> devices;
    const PaDeviceIndex defaultInput = Pa_GetDefaultInputDevice();
    for (PaDeviceIndex index = 0; index < Pa_GetDeviceCount(); ++index) {
        if (!canOpen(index))
            continue;
        const PaDeviceInfo& info = *Pa_GetDeviceInfo(index);
        devices.push_back({index, info.name, hostApiName(info), info.maxInputChannels, info.defaultSampleRate,
                           index == defaultInput});
    }
    return devices;
}

// The open PortAudio stream; its callback mixes each buffer to mono into the ring.
class AudioInput::Stream {
public:
    Stream(const std::string& device, const std::string& clientName, SampleRing& ring) : session_(clientName), ring_(ring)
    {
        const PaDeviceIndex index = findDevice(device);
        const PaDeviceInfo& info = *Pa_GetDeviceInfo(index);
        name_ = info.name;
        const std::string what = "audio input '" + name_ + "' (" + hostApiName(info) + ")";
        const PaStreamParameters parameters = inputParameters(index, info);
        channels_ = parameters.channelCount;
        sampleRate_ = Pa_IsFormatSupported(&parameters, nullptr, PREFERRED_RATE) == paFormatIsSupported
                          ? PREFERRED_RATE
                          : info.defaultSampleRate;
        const PaError error =
            Pa_OpenStream(&stream_, &parameters, nullptr, sampleRate_, FRAMES_PER_BUFFER, paNoFlag, &Stream::callback, this);
        if (error != paNoError)
            throw InputError(what + ": cannot open it: " + errorText(error));
        what_ = what;
    }
    ~Stream()
    {
        Pa_StopStream(stream_);
        Pa_CloseStream(stream_);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    void start()
    {
        if (const PaError error = Pa_StartStream(stream_); error != paNoError)
            throw InputError(what_ + ": cannot start capturing: " + errorText(error));
    }

    double sampleRate() const { return sampleRate_; }
    const std::string& name() const { return name_; }

private:
    // PortAudio's thread: never blocks, locks or allocates.
    static int callback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* self)
    {
        static_cast<Stream*>(self)->mix(static_cast<const float*>(input), frames);
        return paContinue;
    }

    void mix(const float* input, unsigned long frames)
    {
        if (!input)
            return;
        const int channels = channels_;
        ring_.write(frames, [input, channels](std::size_t frame) {
            const float* first = input + frame * static_cast<std::size_t>(channels);
            float sum = 0.0F;
            for (int c = 0; c < channels; ++c)
                sum += first[c];
            return sum / static_cast<float>(channels);
        });
    }

    PortAudioSession session_;
    SampleRing& ring_;
    PaStream* stream_ = nullptr;
    int channels_ = 1;
    double sampleRate_ = 0.0;
    std::string name_;
    std::string what_;
};

AudioInput::AudioInput(const std::string& device, zrhost::HostVariables& variables, zrhost::BeatTrackerFactory tracker,
                       const std::string& clientName)
    : ring_(RING_SAMPLES), stream_(std::make_unique<Stream>(device, clientName, ring_)),
      sampleRate_(stream_->sampleRate()), name_(stream_->name()), analyser_(sampleRate_, tracker),
      variables_(variables, "the audio input '" + name_ + "'", analyser_.tracksTempo())
{
    stream_->start();
}

AudioInput::AudioInput(double sampleRate, zrhost::HostVariables& variables, zrhost::BeatTrackerFactory tracker,
                       const std::string& source)
    : ring_(RING_SAMPLES), sampleRate_(sampleRate), name_(source), analyser_(sampleRate_, tracker),
      variables_(variables, source, analyser_.tracksTempo())
{
}

AudioInput::~AudioInput() = default;

void AudioInput::beforeFrame(std::uint64_t, std::chrono::steady_clock::time_point)
{
    if (ring_.drain([this](float sample) { analyser_.add(sample); }) > 0) {
        last_ = analyser_.endFrame();
    } else {
        last_.tempo.beat = 0.0;
    }
    variables_.write(last_);
}

} // namespace zrshow
