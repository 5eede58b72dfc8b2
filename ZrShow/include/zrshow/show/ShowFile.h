// The show file: what a show drives (fixtures and their channel formulas), where it sends
// (outputs), and the host definitions its formulas use, read from TOML and checked field by field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zrparser/ZrExport.h"
#include "zrshow/show/PixelLayout.h"

namespace zrshow {

class ShowProblems;

enum class Protocol { Sacn, ArtNet, Ola };

// The protocol's name as the show file writes it.
ZR_API const char* protocolName(Protocol protocol);

// True for a formula of nothing but spaces: the show refuses it rather than run it as NaN.
ZR_API bool isBlankFormula(std::string_view formula);

// The values a [variables] entry is meant to take, for sliders: `bpm = { value = 128, min = 60,
// max = 200, step = 1 }`.
struct VariableRange {
    double min = 0.0;
    double max = 100.0;
    std::optional<double> step; // none: any value between

    bool operator==(const VariableRange&) const = default;
};

// A [variables] or [constants] entry.
struct ShowNumber {
    std::string name;
    double value = 0.0;
    std::size_t line = 0;
    std::optional<VariableRange> range = std::nullopt; // [variables] written as a table only

    // The range is for sliders; a running show takes a change of it without a restart.
    bool operator==(const ShowNumber& other) const { return name == other.name && value == other.value; }
};

// The range a slider of `variable` spans: the one the file gives, else 0 to 100 widened to
// a round number that takes in a value outside it (128: 0 to 200; -30: -50 to 100).
ZR_API VariableRange sliderRange(const ShowNumber& variable);

// A [macros] entry: "flash(x)" = "__fadeoutlinear(12, onbeat(x))".
struct ShowMacro {
    std::string prototype;
    std::string body;
    std::size_t line = 0;

    bool operator==(const ShowMacro& other) const { return prototype == other.prototype && body == other.body; }
};

// Where bpm, beat and beatphase come from.
enum class TempoSourceKind {
    Unset,     // no [tempo]: from the audio, when a beat tracker hears it
    Audio,     // the beats a tracker hears in the audio
    Link,      // an Ableton Link session on the local network
    MidiClock, // 24 pulses a beat from a MIDI input
    Tap,       // taps: OSC /zr/tap, or the studio's tap button
};

// The source's name as the show file writes it ("audio", "link", "midiclock", "tap").
ZR_API const char* tempoSourceName(TempoSourceKind source);

// The [tempo] table.
struct ShowTempo {
    TempoSourceKind source = TempoSourceKind::Unset;
    double bpm = 0.0;     // the tempo to begin with (link, tap); 0: none
    std::string port;     // midiclock: the MIDI input, by its name or a part of it
    bool loopsInBeats = false; // loops = "beats": loop and sequence durations count beats
    std::size_t line = 0;

    bool operator==(const ShowTempo& other) const
    {
        return source == other.source && bpm == other.bpm && port == other.port && loopsInBeats == other.loopsInBeats;
    }
};

// A [[midi]] mapping: a note's velocity or a control change's value, 0 to 127, sets a show
// variable as 0 to 100.
struct ShowMidi {
    enum class Kind { Note, ControlChange };
    std::string port;      // the MIDI input, by its name or a part of it
    unsigned channel = 0;  // 1 to 16; 0: any
    Kind kind = Kind::Note;
    unsigned number = 0;   // the note or the controller, 0 to 127
    std::string variable;  // a [variables] entry
    std::size_t line = 0;

    bool operator==(const ShowMidi& other) const
    {
        return port == other.port && channel == other.channel && kind == other.kind && number == other.number &&
               variable == other.variable;
    }
};

// An [[output]]: one universe sent to one destination.
struct ShowOutput {
    std::uint32_t universe = 0;
    Protocol protocol = Protocol::Sacn;
    std::string address;          // destination host (sacn, artnet); olad's host (ola); sacn without
                                  // one: the universe's multicast group; artnet without one: the
                                  // broadcast address of `interfaceName`
    std::uint16_t port = 0;       // the protocol's port when the file gives none
    std::uint8_t priority = 100;  // sacn and ola
    std::string source;           // sacn source name; empty: the runner's (ShowRunOptions::sourceName)
    std::string interfaceName;    // where multicast (sacn) or broadcast (artnet) goes out; empty: any
    bool broadcast = false;       // artnet: to every node of a network
    bool sync = false;            // sacn, artnet: a synchronization packet follows each frame
    std::size_t line = 0;

    bool operator==(const ShowOutput& other) const
    {
        return universe == other.universe && protocol == other.protocol && address == other.address &&
               port == other.port && priority == other.priority && source == other.source &&
               interfaceName == other.interfaceName && broadcast == other.broadcast && sync == other.sync;
    }
};

// What the outputs send when the show ends (on_exit).
enum class ShowExit {
    Terminate, // sACN: each universe ends its stream, so receivers let go of it at once
    Hold,      // nothing: receivers hold the last frame until their data times out
    Blackout,  // a frame of zeros, then as Terminate
};

// One channel of a fixture: its formula gives a percent value every frame.
struct ShowChannel {
    std::string name;
    std::string formula;
    unsigned width = 8;   // 8: one slot; 16: two slots, coarse then fine
    unsigned offset = 0;  // first slot within the fixture, from 0
    std::optional<unsigned> fineOffset; // width 16: the fine slot within the fixture; none: right after
    std::size_t line = 0; // of the formula

    unsigned fineSlotOffset() const { return fineOffset.value_or(offset + 1); }
    // The layout part; the formula is what live reload may change.
    bool sameLayout(const ShowChannel& other) const
    {
        return name == other.name && width == other.width && offset == other.offset &&
               fineSlotOffset() == other.fineSlotOffset();
    }
};

// Where a run of a group's fixtures goes: `count` fixtures one after another from slot
// `address` of `universe`.
struct FixtureSpan {
    std::uint32_t universe = 0;
    unsigned address = 1;
    unsigned count = 0;
    bool operator==(const FixtureSpan&) const = default;
};

// A [[fixture]]: `count` identical fixtures side by side from `address` (or in `spans`),
// `footprint` slots each.
struct ZR_API ShowFixture {
    std::string name;
    std::uint32_t universe = 0; // of the first fixture
    unsigned address = 1;       // first slot of the first fixture, 1-512
    unsigned count = 1;
    unsigned footprint = 0;
    std::vector<ShowChannel> channels;
    std::size_t line = 0;
    std::string profile; // the fixture profile its channels come from; empty: written out in `channels`
    std::string mode;    // the profile's mode
    // Where each fixture of the group sits (its formulas read x, y and z), and that the group
    // continues into the next universes when it does not fit one; none: a group of `index` only.
    std::optional<PixelLayout> pixelMap;
    // The places the file gives for the group's fixtures, in order, adding up to `count`; empty:
    // from `address` on (and, for a pixel map, on into the next universes).
    std::vector<FixtureSpan> spans;

    bool sameLayout(const ShowFixture& other) const;
};

struct ShowFile {
    std::string path;
    double fps = 40.0;
    std::vector<ShowNumber> variables;
    std::vector<ShowNumber> constants;
    std::vector<ShowMacro> macros;
    ShowTempo tempo;
    std::vector<ShowMidi> midi;
    std::vector<ShowOutput> outputs;
    std::uint16_t syncUniverse = 0; // sync_universe: every sacn output synchronized on it; 0: none
    ShowExit onExit = ShowExit::Terminate;
    std::vector<ShowFixture> fixtures;
};

// Reads and checks the show file at `path`, adding every problem to `problems` with its line:
// TOML syntax (where toml++ places it), unknown keys, missing or mistyped values, values out of
// range, unknown protocols, names used twice, universes no output sends. Parts that cannot be
// used are left out of the result, others get defaults, so that later checks still run; a show
// with problems must not run. Throws InputError when the file cannot be read.
ZR_API ShowFile readShowFile(const std::string& path, ShowProblems& problems);

// The same from a text already in memory; `path` names it in the problems.
ZR_API ShowFile parseShowText(std::string_view text, const std::string& path, ShowProblems& problems);

// What differs between two shows apart from the formula texts, as a list such as
// "fixture 'pars', output for universe 2"; empty when only formulas differ. These are the
// changes a running show cannot take without a restart.
ZR_API std::string describeStructureChange(const ShowFile& running, const ShowFile& edited);

} // namespace zrshow
