// A long soak of a running show: 50 universes for 100,000 frames on the simulated clock, a formula
// edit by OSC every 10 frames, a reload of the show file every 1,000 (half of them broken or
// refused in part), and studio pages that follow the same show, come and go. Checked against a
// run of the show without edits: no frame lost, the untouched channels equal frame by frame, the
// edited ones as the edits say, and the resident memory within a stated bound.
// Only run through in-private-network.sh, inside a network namespace of its own (label "soak").
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>

#include <httplib.h>
#include <lo/lo.h>

#include "show_test_support.h"
#include "zrshow/ShowEvents.h"
#include "zrshow/ShowRunner.h"
#include "zrshow/inputs/OscInput.h"
#include "zrshow/inputs/ShowReloader.h"
#include "zrshow/show/ShowEdits.h"

using namespace showtest;
using namespace std::chrono_literals;

namespace {

using zrshow::DMX_SLOT_COUNT;
using zrshow::DmxSlots;

// ZR_SOAK_FRAMES shortens the run while working on this test; the suite runs it in full.
const std::uint64_t FRAMES = [] {
    const char* frames = std::getenv("ZR_SOAK_FRAMES");
    return frames ? std::max<std::uint64_t>(std::strtoull(frames, nullptr, 10), 2000) : 100'000;
}();
constexpr std::uint64_t OSC_EDIT_EVERY = 10;
constexpr std::uint64_t RELOAD_EVERY = 1'000;
// Memory is first measured here: by then every kind of edit and reload has been made, so the
// allocator holds the blocks they need and the show's vectors have their final size.
const std::uint64_t WARM_UP_FRAMES = FRAMES / 10;
constexpr unsigned SEED = 4242;
constexpr std::uint16_t OSC_PORT = 9321;
// The client's own port. Given, not left to liblo: liblo draws a free port from rand(), which
// would shift the random sequence the show's formulas draw from.
constexpr std::uint16_t OSC_CLIENT_PORT = 9322;

// The show: 50 universes, each with a group of 8 fixtures whose formulas keep state (counters,
// loops, timers, the random sequence); in universe 25 the group "knobs" sits among them, the only
// fixtures any edit touches.
constexpr unsigned UNIVERSES = 50;
constexpr unsigned KNOBS_UNIVERSE = 25;
constexpr unsigned KNOBS_ADDRESS = 49; // first slot of knob 0; each knob: a (8-bit), b (16-bit)
constexpr unsigned KNOBS = 4;
constexpr unsigned KNOB_FOOTPRINT = 3;
constexpr unsigned KNOB_CHANNELS = 2; // a, b
const char* const KNOB_CHANNEL_NAMES[KNOB_CHANNELS] = {"a", "b"};

// How much the resident set of the process running the show, and of the studio, may grow from
// the end of the warm-up to the end: the show's own memory is fixed by then, so what remains is
// the allocator's slack and the buffers of liblo and of the HTTP connections, which took under
// 1 MiB here. A replaced formula kept alive (about 3 KiB) would add 25 MiB over the 9,000 OSC edits
// after the warm-up; a page's frame stream never freed (its frame and message, 25 KiB each for
// 50 universes) would add 13 MiB over the 270 pages that come and go after the studio's warm-up.
constexpr long RSS_GROWTH_LIMIT_KB = 4096;
// AddressSanitizer keeps freed blocks in quarantine (up to 256 MiB), so there the resident set
// says nothing of leaks; it finds them itself.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool RSS_TELLS_LEAKS = false;
#else
constexpr bool RSS_TELLS_LEAKS = true;
#endif

// ---- the show file and its versions ---------------------------------------------------------

// What a version of the show file holds beyond the knobs' formulas.
enum class Version {
    Good,              // the knobs' formulas change
    SyntaxError,       // a TOML error: the version is not used
    RefusedFormula,    // the formula of a is refused (the old one runs on), that of b is taken
    SlotClash,         // the knobs overlap the group beside them: the version is not used
    StructureChange,   // fps and the size of a group change, which waits for a restart; the
                       // knobs' formulas are taken, the resized group's formula is not
    UnknownKey,        // a key the show does not know: the version is not used
};
constexpr Version RELOAD_CYCLE[] = {Version::Good, Version::SyntaxError, Version::RefusedFormula,
                                    Version::SlotClash, Version::StructureChange, Version::UnknownKey};

bool isUsed(Version version)
{
    return version == Version::Good || version == Version::RefusedFormula || version == Version::StructureChange;
}

// A formula for a knob's channel and the value it gives knob k: value + perIndex × k; no value
// when the library refuses it.
struct KnobFormula {
    std::string text;
    std::optional<int> value;
    int perIndex = 0;
};

KnobFormula constantFormula(int value, bool readsVariable)
{
    const std::string number = std::to_string(value);
    // max(v, knob) with knob = 0 reads a variable, so it is evaluated each frame, not folded.
    return {readsVariable ? "max(" + number + ", knob)" : number, value};
}

// Each knob of a group gets its own value from its index: a formula compiled for the whole group
// must give each instance its own constants.
KnobFormula spreadFormula(int value)
{
    return {std::to_string(value) + " + index * 3", value, 3};
}

KnobFormula refusedFormula(int value)
{
    return {"max(" + std::to_string(value) + ", knob", std::nullopt};
}

std::string showText(const KnobFormula (&knobs)[KNOB_CHANNELS], Version version = Version::Good)
{
    const bool broken = !isUsed(version);
    std::ostringstream show;
    show << "fps = " << (version == Version::StructureChange ? 40 : 50) << "\n";
    if (version == Version::UnknownKey)
        show << "speed = 3\n";
    show << "[variables]\nknob = 0\n";
    for (unsigned u = 1; u <= UNIVERSES; ++u)
        show << "[[output]]\nuniverse = " << u << "\nprotocol = \"sacn\"\naddress = \"127.0.0.1\"\n";
    for (unsigned u = 1; u <= UNIVERSES; ++u) {
        // A broken version also changes a formula of untouched fixtures, which must not be taken;
        // so does the change of structure, for the group it resizes.
        const bool changedDimmer = (broken && u == 1) || (version == Version::StructureChange && u == 3);
        show << "[[fixture]]\nname = \"wash" << u << "\"\nuniverse = " << u << "\naddress = 1\ncount = "
             << (version == Version::StructureChange && u == 3 ? 7 : 8) << "\nchannels = [\n"
             << "  { name = \"dimmer\", formula = \""
             << (changedDimmer ? "0" : "(counter(0, 199, 1) + index * 7 + " + std::to_string(u) + ") % 100") << "\" },\n"
             << "  { name = \"red\", formula = \"50 + 50 * __sin(0.05 + index * 0.01)\" },\n"
             << "  { name = \"green\", formula = \"rand(0, 100)\" },\n"
             << "  { name = \"blue\", formula = \"loop(4, 1, __sin(0.1), __triangle(0.05))\" },\n"
             << "  { name = \"pan\", formula = \"__triangle(0.02 + index * 0.001) * 50 + 50\", width = 16 },\n"
             << "]\n";
        if (u == KNOBS_UNIVERSE) {
            show << "[[fixture]]\nname = \"knobs\"\nuniverse = " << u << "\naddress = "
                 << (version == Version::SlotClash ? 45 : KNOBS_ADDRESS) << "\ncount = " << KNOBS << "\nchannels = [\n"
                 << "  { name = \"a\", formula = \"" << knobs[0].text << "\" },\n"
                 << "  { name = \"b\", formula = \"" << knobs[1].text << "\", width = 16 },\n"
                 << "]\n";
        }
    }
    if (version == Version::SyntaxError)
        show << "[[fixture]\nname = \"unfinished\n";
    return show.str();
}

// ---- what is compared --------------------------------------------------------------------------

// A digest of every slot of a frame but the knobs': universes × 512 slots, one after another.
std::uint64_t untouchedDigest(const std::uint8_t* slots)
{
    static const auto knobMask = [] {
        std::array<std::uint8_t, DMX_SLOT_COUNT> mask;
        mask.fill(0xFF);
        std::fill_n(mask.begin() + KNOBS_ADDRESS - 1, KNOBS * KNOB_FOOTPRINT, 0);
        return mask;
    }();
    std::uint64_t digest = 14695981039346656037ull; // FNV-1a, a 64-bit word at a time
    for (unsigned u = 0; u < UNIVERSES; ++u) {
        const std::uint8_t* universe = slots + u * DMX_SLOT_COUNT;
        for (std::size_t at = 0; at < DMX_SLOT_COUNT; at += 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, universe + at, 8);
            if (u + 1 == KNOBS_UNIVERSE) {
                std::uint64_t mask = 0;
                std::memcpy(&mask, knobMask.data() + at, 8);
                word &= mask;
            }
            digest = (digest ^ word) * 1099511628211ull;
        }
    }
    return digest;
}

static_assert(sizeof(DmxSlots) == DMX_SLOT_COUNT, "a vector of universes is their slots one after another");

long residentKilobytes(pid_t pid)
{
    std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:"))
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

// The knobs' formulas as the show should run them: what each edit and reload leaves, by the
// rules of a running show (an edit that is refused changes nothing; a reload changes a channel's
// formula for every knob when the file's text of it changed and compiles).
class KnobModel {
public:
    KnobModel()
    {
        fileText_[0] = initial()[0].text;
        fileText_[1] = initial()[1].text;
        for (auto& knob : values_)
            knob = {*initial()[0].value, *initial()[1].value};
    }
    static const KnobFormula (&initial())[KNOB_CHANNELS]
    {
        static const KnobFormula formulas[KNOB_CHANNELS] = {constantFormula(10, false), constantFormula(20, true)};
        return formulas;
    }

    void edit(unsigned knob, unsigned channel, const KnobFormula& formula)
    {
        if (formula.value)
            values_[knob][channel] = *formula.value + formula.perIndex * static_cast<int>(knob);
    }
    // Returns how many channels took a new formula.
    unsigned reload(const KnobFormula (&formulas)[KNOB_CHANNELS])
    {
        unsigned changed = 0;
        for (unsigned c = 0; c < KNOB_CHANNELS; ++c) {
            if (formulas[c].text == fileText_[c] || !formulas[c].value)
                continue;
            fileText_[c] = formulas[c].text;
            for (unsigned k = 0; k < KNOBS; ++k)
                values_[k][c] = *formulas[c].value + formulas[c].perIndex * static_cast<int>(k);
            ++changed;
        }
        return changed;
    }
    // The knobs' slots, from KNOBS_ADDRESS on.
    std::array<std::uint8_t, KNOBS * KNOB_FOOTPRINT> slots() const
    {
        std::array<std::uint8_t, KNOBS * KNOB_FOOTPRINT> slots{};
        for (unsigned k = 0; k < KNOBS; ++k) {
            slots[k * KNOB_FOOTPRINT] = static_cast<std::uint8_t>(level8(values_[k][0]));
            const auto wide = static_cast<unsigned>(std::floor(values_[k][1] * 65535.0 / 100 + 0.5));
            slots[k * KNOB_FOOTPRINT + 1] = static_cast<std::uint8_t>(wide >> 8);
            slots[k * KNOB_FOOTPRINT + 2] = static_cast<std::uint8_t>(wide & 0xFF);
        }
        return slots;
    }

private:
    std::string fileText_[KNOB_CHANNELS];
    std::array<std::array<int, KNOB_CHANNELS>, KNOBS> values_;
};

// ---- the show's surroundings -------------------------------------------------------------------

// Counts what the show reports, from the frame loop, the OSC thread and the file watcher; keeps
// the last messages to show when something fails.
class CountingEvents : public zrshow::ShowEvents {
public:
    void message(const std::string& text) override
    {
        taken += text.find(": now ") != std::string::npos ? 1 : 0;
        refused += text.find("the new formula is refused") != std::string::npos ? 1 : 0;
        unused += text.find("this version is not used") != std::string::npos ? 1 : 0;
        restarts += text.find("structure changed") != std::string::npos ? 1 : 0;
        const std::lock_guard lock(mutex_);
        last_.push_back(text);
        if (last_.size() > 20)
            last_.pop_front();
    }
    std::string lastMessages() const
    {
        const std::lock_guard lock(mutex_);
        std::string text;
        for (const std::string& message : last_)
            text += message + "\n";
        return text;
    }

    std::atomic<unsigned> taken{0}, refused{0}, unused{0}, restarts{0};

private:
    mutable std::mutex mutex_;
    std::deque<std::string> last_;
};

// An OSC client on the loopback: sends formulas to the show's port and counts the /zr/error
// replies it gets back.
class OscClient {
public:
    OscClient()
        : server_(lo_server_new_with_proto(std::to_string(OSC_CLIENT_PORT).c_str(), LO_UDP, nullptr)),
          target_(lo_address_new("127.0.0.1", std::to_string(OSC_PORT).c_str()))
    {
        lo_server_add_method(server_, "/zr/error", "s",
                             [](const char*, const char*, lo_arg**, int, lo_message, void* replies) {
                                 ++*static_cast<unsigned*>(replies);
                                 return 0;
                             },
                             &errors_);
    }
    ~OscClient()
    {
        lo_address_free(target_);
        lo_server_free(server_);
    }
    OscClient(const OscClient&) = delete;
    OscClient& operator=(const OscClient&) = delete;

    void sendFormula(unsigned knob, unsigned channel, const std::string& formula)
    {
        const std::string path = "/zr/formula/knobs/" + std::to_string(knob) + "/" + KNOB_CHANNEL_NAMES[channel];
        lo_send_from(target_, server_, LO_TT_IMMEDIATE, path.c_str(), "s", formula.c_str());
    }
    // The /zr/error replies received so far.
    unsigned errors()
    {
        while (lo_server_recv_noblock(server_, 0) > 0) {
        }
        return errors_;
    }

private:
    lo_server server_;
    lo_address target_;
    unsigned errors_ = 0;
};

// The run of the show without edits: each frame's digest of the untouched slots.
class ReferenceDigests : public zrshow::FrameObserver {
public:
    ReferenceDigests() { digests.reserve(FRAMES); }
    void frameDone(std::uint64_t, const std::vector<DmxSlots>& universes) override
    {
        digests.push_back(untouchedDigest(universes.front().data()));
    }
    std::vector<std::uint64_t> digests;
};

// ---- the soak run ------------------------------------------------------------------------------

// Sees every frame of the soak run and, between frames, makes the edits: an OSC message sent to
// the show's port, or a new version of the show file, each waited for until the OSC thread or the
// file watcher has queued what it makes of it, then handed to the running show for the next frame.
class SoakDriver : public zrshow::FrameObserver {
public:
    SoakDriver(zrshow::ShowRunner& runner, const std::vector<std::uint64_t>& reference, CountingEvents& events,
               zrshow::EditQueue& oscEdits, zrshow::EditQueue& fileEdits, std::string editedFile,
               std::atomic<bool>& stop)
        : runner_(runner), reference_(reference), events_(events), oscEdits_(oscEdits), fileEdits_(fileEdits),
          editedFile_(std::move(editedFile)), stop_(stop)
    {
        forwarding_.reserve(16);
    }

    void frameDone(std::uint64_t frame, const std::vector<DmxSlots>& universes) override
    {
        if (frame != framesSeen && misnumbered++ == 0)
            firstMisnumbered = frame;
        ++framesSeen;
        if (frame < reference_.size() && untouchedDigest(universes.front().data()) != reference_[frame]) {
            if (untouchedDifferences++ == 0)
                firstUntouchedDifference = frame;
        }
        const auto expected = knobs_.slots();
        if (!std::equal(expected.begin(), expected.end(), universes[KNOBS_UNIVERSE - 1].begin() + KNOBS_ADDRESS - 1)) {
            if (knobDifferences++ == 0)
                firstKnobDifference = frame;
        }
        if (frame + 1 == WARM_UP_FRAMES)
            residentAfterWarmUp = residentKilobytes(getpid());
        if (frame + 1 == FRAMES) {
            residentAtEnd = residentKilobytes(getpid());
            return; // no edit without a frame to take it
        }
        if (frame % OSC_EDIT_EVERY == OSC_EDIT_EVERY - 1)
            editByOsc();
        if (frame % RELOAD_EVERY == RELOAD_EVERY - 1)
            reloadFile();
    }

    // Fails the test and ends the run.
    void fail(const std::string& why)
    {
        ADD_FAILURE() << why << "\nlast messages:\n" << events_.lastMessages();
        stop_ = true;
    }

    OscClient osc;
    std::uint64_t framesSeen = 0, misnumbered = 0, firstMisnumbered = 0;
    std::uint64_t untouchedDifferences = 0, firstUntouchedDifference = 0;
    std::uint64_t knobDifferences = 0, firstKnobDifference = 0;
    unsigned oscEdits = 0, oscRefusals = 0, reloads = 0, unusedVersions = 0, refusedInReloads = 0, restarts = 0;
    unsigned formulasTaken = 0; // by an OSC edit, or for a channel of every knob by a reload
    long residentAfterWarmUp = -1, residentAtEnd = -1;

private:
    // Hands the edits taken from a queue to the show, for the next frame.
    void forward()
    {
        for (zrshow::ShowEdit& edit : forwarding_)
            runner_.queue(std::move(edit));
        forwarding_.clear();
    }

    void editByOsc()
    {
        const unsigned edit = oscEdits++;
        const unsigned knob = edit % KNOBS;
        const unsigned channel = edit / KNOBS % KNOB_CHANNELS;
        const int value = static_cast<int>((edit * 37 + 11) % 101);
        const KnobFormula formula = edit % 17 == 16 ? refusedFormula(value)
                                    : edit % 3 == 2  ? spreadFormula(value % 90)
                                                     : constantFormula(value, edit % 3 == 1);
        oscRefusals += formula.value ? 0 : 1;
        osc.errors(); // drains the replies so far: a full socket would drop the next ones
        osc.sendFormula(knob, channel, formula.text);
        // Polled closely: the show waits on it between two frames.
        if (!waitFor([&] { return oscEdits_.takeAll(forwarding_); }, 5s, 20us))
            return fail("OSC edit " + std::to_string(edit) + " (" + formula.text + ") never reached the edit queue");
        forward();
        formulasTaken += formula.value ? 1 : 0;
        knobs_.edit(knob, channel, formula);
    }

    void reloadFile()
    {
        const unsigned reload = ++reloads;
        const Version version = RELOAD_CYCLE[(reload - 1) % std::size(RELOAD_CYCLE)];
        const int a = static_cast<int>(reload * 13 % 90), b = static_cast<int>(reload * 29 % 90);
        const KnobFormula formulas[KNOB_CHANNELS] = {
            version == Version::RefusedFormula ? refusedFormula(a) : reload % 2 == 0 ? spreadFormula(a) : constantFormula(a, false),
            reload % 3 == 0 ? constantFormula(b, true) : spreadFormula(b)};
        const unsigned unusedBefore = events_.unused;
        writeFile(editedFile_, showText(formulas, version));
        if (!waitFor([&] { return fileEdits_.takeAll(forwarding_) || events_.unused > unusedBefore; }, 10s, 20us))
            return fail("reload " + std::to_string(reload) + " was never read");
        if (isUsed(version) == forwarding_.empty())
            return fail("reload " + std::to_string(reload) + (isUsed(version) ? " is a show but was not used"
                                                                               : " is no show but was used"));
        forward();
        if (!isUsed(version)) {
            ++unusedVersions;
            return;
        }
        refusedInReloads += formulas[0].value ? 0 : 1;
        restarts += version == Version::StructureChange ? 1 : 0;
        formulasTaken += knobs_.reload(formulas);
    }

    zrshow::ShowRunner& runner_;
    const std::vector<std::uint64_t>& reference_;
    CountingEvents& events_;
    zrshow::EditQueue& oscEdits_;
    zrshow::EditQueue& fileEdits_;
    std::string editedFile_;
    std::atomic<bool>& stop_;
    KnobModel knobs_;
    std::vector<zrshow::ShowEdit> forwarding_;
};

// ---- the studio --------------------------------------------------------------------------------

// `zrsignal serve` of the edited show file on the simulated clock, so its frame N is the run's
// frame N; stopped by its pid.
class Studio {
public:
    explicit Studio(const std::string& directory, const std::string& show)
        : child_({ZRSIGNAL_PROGRAM, "serve", show, "--port", "0", "--clock", "sim", "--seed", std::to_string(SEED)},
                 directory + "/studio.out", directory + "/studio.err")
    {
        const std::string prefix = "zrsignal serve: http://127.0.0.1:";
        waitFor([&] { return child_.out().find(prefix) != std::string::npos; }, 20s);
        const std::string out = child_.out();
        if (const auto at = out.find(prefix); at != std::string::npos)
            port = std::atoi(out.c_str() + at + prefix.size());
    }
    pid_t pid() const { return child_.pid(); }
    std::string messages() const { return child_.err(); }
    int stop() { return child_.stop(SIGTERM); }

    int port = 0;

private:
    Child child_;
};

// The studio's frame stream: each message is its length (4 bytes, little-endian), then its kind
// (1: a frame), a tempo flag, the universe count (2 bytes), 4 spare bytes, the frame number as a
// double, more of the frame's figures, and last 512 slots for each universe.
class FrameStreamReader {
public:
    // Takes the next bytes of the stream; calls onFrame(number, slots, universes) for each whole
    // frame, until it returns false. Returns false then, or when the stream makes no sense.
    template <class OnFrame>
    bool feed(const char* data, std::size_t size, OnFrame onFrame)
    {
        buffer_.append(data, size);
        std::size_t at = 0;
        bool more = true;
        while (more && buffer_.size() - at >= 4) {
            std::uint32_t length = 0;
            for (int b = 3; b >= 0; --b)
                length = length << 8 | static_cast<std::uint8_t>(buffer_[at + b]);
            if (length < FIGURES || length > LONGEST) {
                malformed = true;
                return false;
            }
            if (buffer_.size() - at - 4 < length)
                break;
            const char* message = buffer_.data() + at + 4;
            const std::size_t universes = static_cast<std::uint8_t>(message[2]) |
                                          static_cast<std::size_t>(static_cast<std::uint8_t>(message[3])) << 8;
            if (message[0] == 1 && length >= FIGURES + universes * DMX_SLOT_COUNT) {
                double number = 0;
                std::memcpy(&number, message + 8, 8);
                const char* slots = message + length - universes * DMX_SLOT_COUNT;
                more = onFrame(static_cast<std::uint64_t>(number), reinterpret_cast<const std::uint8_t*>(slots),
                               static_cast<unsigned>(universes));
            }
            at += 4 + length;
        }
        buffer_.erase(0, at);
        return more;
    }

    bool malformed = false;

private:
    static constexpr std::size_t FIGURES = 16; // up to the frame number
    static constexpr std::size_t LONGEST = 1 << 20;
    std::string buffer_;
};

// Pages following the studio's show: each connects, compares a few frames with the run without
// edits, and leaves; one more page edits the knobs as the studio's pane does. They go on until
// told to stop, or until their bounds in count and time.
class StudioPages {
public:
    // The studio follows 6 pages at once; a page that left holds its place until the studio's
    // next frame finds it gone, so 2 pages that come and go never take more than 4.
    static constexpr unsigned FOLLOWERS = 2;
    static constexpr unsigned MAX_VISITS = 20'000;
    static constexpr auto MAX_TIME = 10min;

    StudioPages(int port, const std::vector<std::uint64_t>& reference) : port_(port), reference_(reference)
    {
        for (unsigned f = 0; f < FOLLOWERS; ++f)
            threads_.emplace_back([this, f] { follow(f); });
        threads_.emplace_back([this] { edit(); });
    }
    ~StudioPages() { stop(); }

    void stop()
    {
        stopping_ = true;
        for (std::thread& thread : threads_) {
            if (thread.joinable())
                thread.join();
        }
    }

    std::atomic<unsigned> visits{0}, framesCompared{0}, differences{0}, refusedVisits{0}, failedVisits{0};
    std::atomic<unsigned> edits{0}, editsTaken{0}, editsRefused{0}, editsUnanswered{0};
    std::atomic<std::uint64_t> firstDifference{0};

private:
    bool goOn() const
    {
        return !stopping_ && visits < MAX_VISITS && std::chrono::steady_clock::now() < started_ + MAX_TIME;
    }

    void follow(unsigned follower)
    {
        for (unsigned visit = 0; goOn(); ++visit) {
            const unsigned wanted = 3 + (visit * 7 + follower * 5) % 12; // frames to see before leaving
            unsigned seen = 0;
            std::uint64_t last = 0;
            int status = 0;
            FrameStreamReader reader;
            httplib::Client client("127.0.0.1", port_);
            client.set_read_timeout(10s);
            client.Get(
                "/api/show/frames",
                [&](const httplib::Response& response) {
                    status = response.status;
                    return status == 200;
                },
                [&](const char* data, std::size_t size) {
                    // Between frames the studio sends a message now and then: a page that is
                    // told to stop leaves then too.
                    return !stopping_ && reader.feed(data, size, [&](std::uint64_t frame, const std::uint8_t* slots, unsigned universes) {
                        const bool inOrder = seen == 0 || frame > last;
                        last = frame;
                        ++framesCompared;
                        if (universes != UNIVERSES || !inOrder ||
                            (frame < reference_.size() && untouchedDigest(slots) != reference_[frame])) {
                            if (differences++ == 0)
                                firstDifference = frame;
                        }
                        return ++seen < wanted && !stopping_;
                    });
                });
            ++visits;
            refusedVisits += status == 503 ? 1 : 0;
            failedVisits += (status != 200 && status != 503) || reader.malformed ? 1 : 0;
        }
    }

    void edit()
    {
        httplib::Client client("127.0.0.1", port_);
        client.set_read_timeout(10s);
        for (unsigned edit = 0; goOn() && edit < MAX_VISITS; ++edit) {
            const bool refused = edit % 5 == 4;
            const std::string formula = refused ? refusedFormula(edit % 101).text : constantFormula(edit % 101, true).text;
            const auto answer = client.Post("/api/show/edit",
                                            httplib::Params{{"address", "/zr/formula/knobs/" + std::to_string(edit % KNOBS) + "/a"},
                                                            {"formula", formula}});
            ++edits;
            if (!answer || answer->status != 200)
                ++editsUnanswered;
            else if (answer->body.find("\"ok\":true") != std::string::npos && !refused)
                ++editsTaken;
            else if (answer->body.find("\"refused\"") != std::string::npos && refused)
                ++editsRefused;
        }
    }

    int port_;
    const std::vector<std::uint64_t>& reference_;
    std::atomic<bool> stopping_{false};
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::vector<std::thread> threads_;
};

zrshow::ShowRunOptions simulatedRun(const std::string& show)
{
    zrshow::ShowRunOptions options;
    options.showPath = show;
    options.frames = FRAMES;
    options.clock = zrhost::ClockMode::Simulated;
    options.sendOutputs = false;
    options.seed = SEED;
    options.threads = 1;
    return options;
}

TEST(ShowSoak, EditsReloadsAndPagesLeaveTheRestOfTheShowAsARunWithoutThem)
{
    if (const std::string why = outsideTestNetwork("in-private-network.sh"); !why.empty())
        GTEST_SKIP() << why;
    const std::string directory = scratchDirectory();
    // The show runs from a file of its own; the edited versions go to another, which a file
    // watcher of the test's own reads, so that each reload reaches the show at a known frame. The
    // studio watches the edited file itself, as `zrsignal serve` does.
    const std::string runningFile = directory + "/show.toml";
    const std::string editedFile = directory + "/edited.toml";
    writeFile(runningFile, showText(KnobModel::initial()));
    writeFile(editedFile, showText(KnobModel::initial()));
    const auto started = std::chrono::steady_clock::now();

    ReferenceDigests reference;
    {
        CountingEvents quiet;
        zrshow::ShowRunner runner(simulatedRun(runningFile), quiet);
        runner.observe(&reference);
        runner.run(std::atomic<bool>{false});
    }
    ASSERT_EQ(reference.digests.size(), FRAMES);
    const auto referenceTime = std::chrono::steady_clock::now() - started;

    Studio studio(directory, editedFile);
    ASSERT_GT(studio.port, 0) << "zrsignal serve did not start:\n" << studio.messages();
    StudioPages pages(studio.port, reference.digests);
    long studioAfterWarmUp = -1;

    CountingEvents events;
    zrshow::EditQueue oscEdits, fileEdits;
    std::atomic<bool> stop{false};
    zrshow::ShowRunOptions options = simulatedRun(runningFile);
    options.threads = 2; // two threads share each frame, and must write the slots of one
    zrshow::ShowRunner runner(options, events);
    SoakDriver driver(runner, reference.digests, events, oscEdits, fileEdits, editedFile, stop);
    {
        const zrshow::OscInput osc(OSC_PORT, runner.commands(), oscEdits, events);
        const zrshow::ShowReloader watcher(editedFile, zrshow::ShowReloader::look(editedFile), fileEdits, events, 2ms);
        runner.observe(&driver);
        // The studio's memory after its warm-up: pages have come and gone and edits were taken.
        std::thread studioWarmUp([&] {
            if (waitFor([&] { return pages.visits >= 30 && pages.edits >= 30; }, 60s))
                studioAfterWarmUp = residentKilobytes(studio.pid());
        });
        runner.run(stop);
        studioWarmUp.join();
        // Replies to refused formulas leave the show's port after the frame that refused them.
        EXPECT_TRUE(waitFor([&] { return driver.osc.errors() >= driver.oscRefusals; }, 5s));
    }
    const auto soakTime = std::chrono::steady_clock::now() - started - referenceTime;

    // Pages keep coming and going for a while after the warm-up before the studio is measured again.
    EXPECT_TRUE(waitFor([&] { return pages.visits >= 300; }, 120s)) << pages.visits << " pages";
    const long studioAtEnd = residentKilobytes(studio.pid());
    pages.stop();
    EXPECT_EQ(studio.stop(), 0) << studio.messages();
    std::cout << "soak: reference run " << std::chrono::duration<double>(referenceTime).count() << " s, soak run "
              << std::chrono::duration<double>(soakTime).count() << " s; show " << driver.residentAfterWarmUp << " -> "
              << driver.residentAtEnd << " KiB, studio " << studioAfterWarmUp << " -> " << studioAtEnd << " KiB; "
              << pages.visits << " pages, " << pages.framesCompared << " studio frames compared, " << pages.edits
              << " studio edits" << std::endl;

    // Every frame, once, in order; the untouched channels as without edits, the knobs as edited.
    EXPECT_EQ(driver.framesSeen, FRAMES);
    EXPECT_EQ(driver.misnumbered, 0u) << "first at frame " << driver.firstMisnumbered;
    EXPECT_EQ(driver.untouchedDifferences, 0u) << "untouched slots differ from the run without edits, first at frame "
                                               << driver.firstUntouchedDifference;
    EXPECT_EQ(driver.knobDifferences, 0u) << "the knobs differ from their edits, first at frame "
                                          << driver.firstKnobDifference << "\n" << events.lastMessages();

    // Every edit and reload was taken or refused as it should be, and said so.
    EXPECT_EQ(driver.oscEdits, (FRAMES - 1) / OSC_EDIT_EVERY);
    EXPECT_EQ(driver.reloads, (FRAMES - 1) / RELOAD_EVERY);
    EXPECT_EQ(driver.osc.errors(), driver.oscRefusals);
    EXPECT_EQ(events.taken, driver.formulasTaken);
    EXPECT_EQ(events.refused, driver.oscRefusals + driver.refusedInReloads);
    EXPECT_EQ(events.unused, driver.unusedVersions);
    EXPECT_EQ(events.restarts, driver.restarts);

    // Memory within its bound, in the show and in the studio.
    ASSERT_GT(driver.residentAfterWarmUp, 0);
    ASSERT_GT(studioAfterWarmUp, 0) << "the studio's pages never warmed up";
    if (RSS_TELLS_LEAKS) {
        EXPECT_LE(driver.residentAtEnd - driver.residentAfterWarmUp, RSS_GROWTH_LIMIT_KB);
        EXPECT_LE(studioAtEnd - studioAfterWarmUp, RSS_GROWTH_LIMIT_KB);
    }

    // The studio's pages saw the show as the run without edits, and its edits were answered.
    EXPECT_EQ(pages.differences, 0u) << "first at frame " << pages.firstDifference;
    EXPECT_EQ(pages.refusedVisits, 0u) << "pages turned away: the studio lost count of the pages that left";
    EXPECT_EQ(pages.failedVisits, 0u);
    EXPECT_EQ(pages.editsUnanswered, 0u);
    EXPECT_EQ(pages.editsTaken + pages.editsRefused, pages.edits.load());
}

} // namespace
