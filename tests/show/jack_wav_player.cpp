// A JACK client for the audio tests: plays a WAV file (read with libsndfile, its channels
// averaged, resampled linearly to the server's rate) from its output port into every input port
// whose name matches PATTERN (a jack_get_ports pattern), from the first sample, then exits. It
// waits up to 20 s for such ports to appear. The server is JACK_DEFAULT_SERVER's.
//   jack-wav-player FILE.wav PATTERN
#include <jack/jack.h>
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

struct Player {
    std::vector<float> samples; // at the server's rate
    std::size_t next = 0;
    jack_port_t* port = nullptr;
    std::atomic<bool> playing{false};
    std::atomic<bool> done{false};
};

int process(jack_nframes_t frames, void* argument)
{
    auto& player = *static_cast<Player*>(argument);
    auto* out = static_cast<float*>(jack_port_get_buffer(player.port, frames));
    for (jack_nframes_t i = 0; i < frames; ++i) {
        const bool sounding = player.playing.load(std::memory_order_relaxed) && player.next < player.samples.size();
        out[i] = sounding ? player.samples[player.next++] : 0.0F;
    }
    if (player.playing.load(std::memory_order_relaxed) && player.next >= player.samples.size())
        player.done.store(true);
    return 0;
}

// The file's samples, channels averaged.
bool readMono(const char* path, std::vector<double>& mono, double& rate)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (!file)
        return false;
    std::vector<double> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_double(file, interleaved.data(), info.frames);
    sf_close(file);
    mono.assign(static_cast<std::size_t>(info.frames), 0.0);
    for (std::size_t f = 0; f < mono.size(); ++f) {
        for (int c = 0; c < info.channels; ++c)
            mono[f] += interleaved[f * static_cast<std::size_t>(info.channels) + static_cast<std::size_t>(c)];
        mono[f] /= info.channels;
    }
    rate = info.samplerate;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: jack-wav-player FILE.wav PATTERN\n");
        return 2;
    }
    std::vector<double> mono;
    double fileRate = 0.0;
    if (!readMono(argv[1], mono, fileRate)) {
        std::fprintf(stderr, "jack-wav-player: cannot read %s\n", argv[1]);
        return 1;
    }
    jack_status_t status{};
    jack_client_t* client = jack_client_open("zrtest-player", JackNoStartServer, &status);
    if (!client) {
        std::fprintf(stderr, "jack-wav-player: no JACK server (status 0x%x)\n", static_cast<unsigned>(status));
        return 1;
    }
    Player player;
    const double rate = jack_get_sample_rate(client);
    const auto length = static_cast<std::size_t>(static_cast<double>(mono.size()) * rate / fileRate);
    player.samples.resize(length);
    for (std::size_t i = 0; i < length; ++i) {
        const double at = static_cast<double>(i) * fileRate / rate;
        const auto before = static_cast<std::size_t>(at);
        const double after = before + 1 < mono.size() ? mono[before + 1] : 0.0;
        player.samples[i] = static_cast<float>(mono[before] + (after - mono[before]) * (at - std::floor(at)));
    }
    player.port = jack_port_register(client, "out", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, &process, &player);
    if (!player.port || jack_activate(client) != 0) {
        std::fprintf(stderr, "jack-wav-player: cannot start the client\n");
        jack_client_close(client);
        return 1;
    }

    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const char** targets = nullptr;
    while (!(targets = jack_get_ports(client, argv[2], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput))) {
        if (std::chrono::steady_clock::now() > giveUp) {
            std::fprintf(stderr, "jack-wav-player: no input port matches %s\n", argv[2]);
            jack_client_close(client);
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    for (const char** target = targets; *target; ++target)
        jack_connect(client, jack_port_name(player.port), *target);
    jack_free(targets);

    player.playing.store(true);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(length / rate + 20.0);
    while (!player.done.load() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    jack_client_close(client);
    return player.done.load() ? 0 : 1;
}
