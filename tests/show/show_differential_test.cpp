// Random shows run by every way of compiling a show's formulas: each channel in a child parser
// of its own in patch order (the reference), and one program on one and on three threads. Frame
// after frame, also across live formula edits, every engine must write the reference's slots,
// count its failures and leave the global memory as it does, from the same process state.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "loaded_show.h"
#include "zrhost/FrameClock.h"
#include "zrmachinecode/ZrMachineCode.h"
#include "zrparser/ZrSignalBuiltins.h"
#include "zrshow/show/FixtureFormulas.h"
#include "zrshow/show/ShowHost.h"
#include "zrshow/show/ShowPatch.h"
#include "zrshow/show/ShowProblems.h"

using namespace zrshow;

namespace {

constexpr int FRAMES = 30;
constexpr int EDIT_FRAME = 10;

// A show text drawn from a seed: variables, a constant, macros (some keeping state), outputs for
// one to three universes and fixture groups of up to 40 fixtures with up to four channels.
class ShowMaker {
public:
    explicit ShowMaker(unsigned seed) : random_(seed) {}

    unsigned pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(random_); }
    std::string number(unsigned below) { return std::to_string(pick(below)); }

    std::string show()
    {
        static const unsigned FPS[] = {25, 30, 40, 44};
        fps = FPS[pick(4)];
        std::ostringstream text;
        text << "fps = " << fps << "\n[variables]\nlevel = " << pick(100) << "\nspeed = 2.5\nmix = " << pick(101)
             << "\n[constants]\nhue_step = 12.5\n[macros]\n"
             << "\"pulse(n, v)\" = \"counter(0, n, onbeat(v))\"\n"
             << "\"wave(p)\" = \"50 + 50 * __sin(__timeInc() / p)\"\n"
             << "\"mixof(a, b, m)\" = \"(a * m + b * (100 - m)) / 100\"\n"
             << "\"keep(c, v)\" = \"latch(c, v, 50)\"\n";
        std::vector<unsigned> universes{1, 2, 7};
        std::shuffle(universes.begin(), universes.end(), random_);
        universes.resize(1 + pick(3));
        for (unsigned universe : universes)
            text << "[[output]]\nuniverse = " << universe << "\nprotocol = \"sacn\"\naddress = \"127.0.0.1\"\n";
        std::vector<unsigned> nextFree(universes.size(), 1);
        const unsigned groupCount = 2 + pick(5);
        for (unsigned g = 0; g < groupCount; ++g) {
            const unsigned u = pick(static_cast<unsigned>(universes.size()));
            std::vector<unsigned> widths(1 + pick(4));
            unsigned needed = 0;
            for (unsigned& width : widths) {
                width = chance(0.25) ? 16 : 8;
                needed += width / 8;
            }
            const unsigned footprint = needed + pick(3);
            const unsigned address = nextFree[u] + pick(3);
            const unsigned room = address + footprint - 1 <= 512 ? (513 - address) / footprint : 0;
            const unsigned count = std::min(1 + pick(40), room);
            if (count == 0)
                continue;
            nextFree[u] = address + count * footprint;
            channelsOfGroup.push_back(widths.size());
            text << "[[fixture]]\nname = \"g" << g << "\"\nuniverse = " << universes[u] << "\naddress = " << address
                 << "\ncount = " << count << "\nfootprint = " << footprint << "\nchannels = [\n";
            // Now and then the channels lie back to front, each at a slot of its own.
            const bool reversed = chance(0.3);
            unsigned offset = reversed ? needed : 0;
            for (std::size_t c = 0; c < widths.size(); ++c) {
                offset -= reversed ? widths[c] / 8 : 0;
                text << "  { name = \"c" << c << "\", formula = \"" << formula() << "\"";
                if (widths[c] == 16)
                    text << ", width = 16";
                if (reversed)
                    text << ", slot = " << offset + 1;
                text << " },\n";
                offset += reversed ? 0 : widths[c] / 8;
            }
            text << "]\n";
        }
        return text.str();
    }

    // A channel's formula: now and then a constant, NaN for some fixtures of the group, or a
    // write to the global memory that formulas later in the patch read in the same frame.
    std::string formula()
    {
        switch (pick(10)) {
        case 0: return number(101);
        case 1: return "index * 100 / count";
        case 2: return "if(index % 3 == 0, 0/0, " + expression(2) + ")";
        case 3: return "gmem(" + memoryId() + ", " + expression(2) + ")";
        default: return expression(3);
        }
    }

    std::vector<std::size_t> channelsOfGroup; // of each [[fixture]], in show order
    unsigned fps = 40;

private:
    std::string memoryId() { return chance(0.8) ? number(8) : "index"; }
    std::string steps() { return std::to_string(3 + pick(12)); }
    std::string rate() { return "__timeInc() * " + std::to_string(1 + pick(8)) + " / 4"; }

    std::string atom()
    {
        static const char* const NAMES[] = {"index", "count", "level", "speed", "mix", "hue_step"};
        // NaN, or an infinity for one fixture of the group.
        static const char* const UNUSABLE[] = {"0/0", "sqrt(-1 - index)", "log(index - count)", "1/(index - 1)"};
        const unsigned kind = pick(20);
        if (kind == 0)
            return UNUSABLE[pick(4)];
        if (kind == 1)
            return "grecall(" + number(8) + ")";
        if (kind < 7)
            return kind < 3 ? number(101) + ".5" : number(101);
        return NAMES[pick(6)];
    }

    std::string condition(int depth)
    {
        switch (pick(9)) {
        case 0: return "1";
        case 1: return "level > 50";
        case 2: return "index % 2";
        case 3: return "__clock(" + rate() + ")";
        case 4: return "onbeat(level)";
        case 5: return "rand() > 60";
        case 6: return "grecall(" + memoryId() + ") > 50";
        case 7: return "timer(1) > 0.5";
        default: return expression(depth) + " > 50";
        }
    }

    std::string expression(int depth)
    {
        if (depth <= 0 || chance(0.15))
            return atom();
        const int d = depth - 1;
        auto e = [&] { return expression(d); };
        auto c = [&] { return condition(d); };
        static const char* const OPERATORS[] = {"+", "-", "*", "/", "%", ">", "<", "==", "&", "|"};
        static const char* const SHAPES[] = {"abs(", "floor(", "sqrt(", "map.sin("};
        static const char* const FADES[] = {"__fadeinlinear(", "__fadeoutsigmoid(", "__fadeinexp(", "__fadeoutlog("};
        switch (pick(27)) {
        case 0: case 1: case 2: return "(" + e() + " " + OPERATORS[pick(10)] + " " + e() + ")";
        case 3: return chance(0.5) ? "min(" + e() + ", " + e() + ")" : "max(" + e() + ", " + e() + ", " + e() + ")";
        case 4: return std::string(SHAPES[pick(4)]) + e() + ")";
        case 5: return chance(0.5) ? "scale(" + e() + ", 0, 100, 10, 90)" : "restrain(" + e() + ", 0, 100)";
        case 6: return "select(" + e() + ", " + e() + ", " + e() + ", " + e() + ")";
        case 7: return "rgb.red.hsi(" + e() + ", 100, 50)";
        case 8:
            switch (pick(4)) {
            case 0: return "5 * counter(0, " + steps() + ", " + c() + ")";
            case 1: return "5 * counter(0, " + steps() + ", " + c() + ", " + c() + ", " + c() + ")";
            case 2: return "5 * pingcounter(0, " + steps() + ", " + c() + ")";
            default: return "5 * noloopcounter(0, " + steps() + ", " + c() + ")";
            }
        case 9: return chance(0.5) ? "latch(" + c() + ", " + e() + ")" : "latchdelta(" + c() + ", " + e() + ")";
        case 10:
            switch (pick(4)) {
            case 0: return "50 + 50 * __sin(" + rate() + ")";
            case 1: return "100 * __triangle(" + rate() + ")";
            case 2: return "50 * __sawtooth(" + rate() + ", " + c() + ")";
            default: return "50 + 50 * __cos(" + rate() + ")";
            }
        case 11: case 26: return chance(0.5) ? "20 * timer(" + number(3) + ")" : "20 * timer(1, " + c() + ")";
        case 12: return std::string(FADES[pick(4)]) + steps() + ", " + e() + ")";
        case 13:
            switch (pick(4)) {
            case 0: return "onbeat(" + e() + ", 2)";
            case 1: return "delta(" + e() + ")";
            case 2: return "onchange(" + e() + ", 5)";
            default: return "__timeout(" + steps() + ", " + c() + ")";
            }
        case 14: return chance(0.5) ? "rand()" : "rand(" + e() + ", " + number(101) + ")";
        case 15:
            switch (pick(4)) {
            case 0: return "10 * randint(0, 10)";
            case 1: return "100 * __randclock(" + rate() + ", 50)";
            case 2: return "100 * __randpulse(" + rate() + ", 2, 50)";
            default: return "50 + 50 * __randorganic(" + rate() + ")";
            }
        case 16: return "gmem(" + memoryId() + ", " + e() + ")";
        case 17: return "grecall(" + memoryId() + ")";
        case 18: case 19: return "if(" + c() + ", " + e() + ", " + e() + ")";
        case 20:
            return (chance(0.8) ? "loop(" : "randloop(") + std::string(chance(0.5) ? "1" : "0.5") + ", " +
                   (chance(0.5) ? "0" : "0.2") + ", " + e() + ", " + e() + (chance(0.5) ? ", " + e() : "") + ")";
        case 21: return "sequence(1, 0.2, " + c() + ", " + e() + ", " + e() + ")";
        case 22: return "5 * pulse(" + steps() + ", " + e() + ")";
        case 23: return "wave(" + std::to_string(1 + pick(6)) + ")";
        case 24: return "mixof(" + e() + ", " + e() + ", mix)";
        default: return "keep(" + c() + ", " + e() + ")";
        }
    }

    std::mt19937 random_;
};

// `text`, once parsers made from now on run at `tier`.
const std::string& atTier(ZrExecutionTier tier, const std::string& text)
{
    ZrParser::setDefaultExecutionTier(tier);
    return text;
}

// A show read from text with its own patch, host parser and formulas.
struct LoadedShow : showtest::LoadedShow {
    // The host and every parser made for its formulas run at `tier`.
    LoadedShow(const std::string& text, FormulaEngineOptions options, ZrExecutionTier tier)
        : showtest::LoadedShow(atTier(tier, text), "show.toml", options)
    {
        ZrParser::setDefaultExecutionTier(ZrExecutionTier::MachineCode);
    }

    // What drives slot `slot` of universe `universe` (both from 0), with its formula of
    // `formulas` (one for each position of the patch).
    std::string channelAt(std::size_t universe, unsigned slot, const std::vector<std::string>& formulas) const
    {
        for (std::size_t position = 0; position < patch->channels().size(); ++position) {
            const PatchedChannel& placed = patch->channels()[position];
            if (placed.universe == universe && slot >= placed.slot && slot < placed.slot + placed.width / 8)
                return describeChannel(show, placed) + ": " + formulas[position];
        }
        return "no channel";
    }
};

struct Engine {
    const char* name;
    FormulaEngineOptions options;
    ZrExecutionTier tier;
};

const Engine ENGINES[] = {
    {"child parsers (reference)", {.childParsers = true, .threads = 1}, ZrExecutionTier::Reference},
    {"one program, interpreted", {.childParsers = false, .threads = 1}, ZrExecutionTier::Interpreter},
    {"one program, machine code", {.childParsers = false, .threads = 1}, ZrExecutionTier::MachineCode},
    {"one program on 3 threads", {.childParsers = false, .threads = 3}, ZrExecutionTier::MachineCode},
};

// The process's global memory, saved and put back so that every engine starts a frame from it.
using Memory = std::array<double, zr::GLOBAL_MEMORY_SLOTS>;

Memory readMemory()
{
    Memory memory{};
    for (unsigned id = 0; id < memory.size(); ++id)
        memory[id] = zr::globalMemorySlot(id)->load();
    return memory;
}

void writeMemory(const Memory& memory)
{
    for (unsigned id = 0; id < memory.size(); ++id)
        zr::globalMemorySlot(id)->store(memory[id]);
}

// Live edits made at EDIT_FRAME in every engine alike: one channel of a whole group, by choice
// one that used neither the random sequence nor the global memory and now draws random numbers;
// one single fixture's channel; and a formula the library refuses, which leaves all running.
struct LiveEdit {
    std::vector<std::size_t> positions;
    std::string formula;
};

std::vector<LiveEdit> drawEdits(ShowMaker& maker, const LoadedShow& reference)
{
    std::size_t group = 0;
    std::size_t channel = 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        group = maker.pick(static_cast<unsigned>(maker.channelsOfGroup.size()));
        channel = maker.pick(static_cast<unsigned>(maker.channelsOfGroup[group]));
        const std::string& formula = reference.show.fixtures[group].channels[channel].formula;
        if (formula.find("rand") == std::string::npos && formula.find("gmem") == std::string::npos &&
            formula.find("grecall") == std::string::npos)
            break;
    }
    const auto single = maker.pick(static_cast<unsigned>(reference.patch->channels().size()));
    return {{reference.formulas->positionsOf(group, channel), "rand(0, " + maker.formula() + ")"},
            {{single}, maker.formula()},
            {reference.formulas->positionsOf(group, 0), "min(level, "}};
}

class RandomShow : public testing::TestWithParam<unsigned> {};

TEST_P(RandomShow, EveryEngineWritesTheReferenceSlotsFrameByFrame)
{
    zr::useMachineCode(); // as zrsignal does: the tiers below may then run machine code
    const unsigned seed = GetParam();
    ShowMaker maker(seed);
    const std::string text = maker.show();
    writeMemory(Memory{});
    // The simulated clock from before compiling: every engine compiles and runs at the same instants.
    zrhost::FrameClock clock(zrhost::ClockMode::Simulated, maker.fps);
    std::vector<std::unique_ptr<LoadedShow>> engines;
    for (const Engine& engine : ENGINES) {
        std::srand(seed); // some functions draw their start as they are made
        engines.push_back(std::make_unique<LoadedShow>(text, engine.options, engine.tier));
        ASSERT_TRUE(engines.back()->problems.empty()) << engine.name << ": " << engines.back()->problems.text() << text;
    }
    const LoadedShow& reference = *engines[0];
    const std::vector<LiveEdit> edits = drawEdits(maker, reference);
    std::vector<std::string> formulas; // of every position, as edited
    for (const PatchedChannel& placed : reference.patch->channels())
        formulas.push_back(reference.show.fixtures[placed.fixture].channels[placed.channel].formula);

    std::mt19937 levels(seed * 7919u);
    for (int frame = 0; frame < FRAMES; ++frame) {
        clock.enterFrame(static_cast<std::uint64_t>(frame));
        const double level = frame % 4 == 0 ? 90.0 : static_cast<double>(levels() % 40);
        const unsigned randomSeed = seed * 1000u + static_cast<unsigned>(frame);
        const Memory before = readMemory();
        struct Outcome {
            std::vector<bool> refused;
            unsigned failures;
            Memory memory;
        };
        auto run = [&](LoadedShow& engine) {
            writeMemory(before);
            *engine.host->showVariable("level") = level;
            *engine.host->showVariable("speed") = frame / 10.0;
            Outcome outcome;
            std::srand(randomSeed + 500u);
            for (const LiveEdit& edit : frame == EDIT_FRAME ? edits : std::vector<LiveEdit>{})
                outcome.refused.push_back(engine.formulas->replace(edit.positions, edit.formula).has_value());
            std::srand(randomSeed);
            outcome.failures = engine.formulas->evaluate(engine.universes);
            outcome.memory = readMemory();
            return outcome;
        };
        const Outcome expected = run(*engines[0]);
        if (frame == EDIT_FRAME) {
            ASSERT_EQ(expected.refused, (std::vector<bool>{false, false, true})) << text;
            for (std::size_t i = 0; i < 2; ++i) {
                for (std::size_t position : edits[i].positions)
                    formulas[position] = edits[i].formula + " (since frame " + std::to_string(EDIT_FRAME) + ")";
            }
        }
        for (std::size_t e = 1; e < engines.size(); ++e) {
            const Outcome outcome = run(*engines[e]);
            const std::string where = std::string(ENGINES[e].name) + ", show " + std::to_string(seed) + ", frame " +
                                      std::to_string(frame);
            ASSERT_EQ(outcome.refused, expected.refused) << where << ": live edits\n" << text;
            ASSERT_EQ(outcome.failures, expected.failures) << where << ": formulas that threw\n" << text;
            for (std::size_t u = 0; u < reference.universes.size(); ++u) {
                for (unsigned slot = 0; slot < DMX_SLOT_COUNT; ++slot) {
                    ASSERT_EQ(int{engines[e]->universes[u][slot]}, int{reference.universes[u][slot]})
                        << where << ", universe " << reference.patch->universes()[u] << ", slot " << slot + 1 << " ("
                        << reference.channelAt(u, slot, formulas) << ")\n" << text;
                }
            }
            for (unsigned id = 0; id < zr::GLOBAL_MEMORY_SLOTS; ++id) {
                const double value = outcome.memory[id];
                const double wanted = expected.memory[id];
                ASSERT_TRUE(value == wanted || (std::isnan(value) && std::isnan(wanted)))
                    << where << ", global memory " << id << " is " << value << ", not " << wanted << "\n" << text;
            }
        }
        writeMemory(expected.memory);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomShow,
                         testing::Values(1u, 2u, 3u, 17u, 42u, 99u, 314u, 2718u, 4096u, 65537u, 271828u, 3141592u));

} // namespace
