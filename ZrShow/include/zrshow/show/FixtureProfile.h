// Fixture profiles: what a fixture's DMX channels are, read from a fixture definition file
// (.qxf, the XML of QLC+'s fixture library), and the library of such files on this machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "zrparser/ZrExport.h"

namespace zrshow {

// A profile that cannot be read: the message begins with "FILE:LINE: " where the file says
// where (or "FILE: " for the file as a whole).
class ZR_API ProfileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One channel the profile defines (a <Channel Name=...> of the definition).
struct ProfileChannel {
    std::string name;             // as the profile names it: "Dimmer fine"
    std::string common;           // what it does, in the show's words: "dimmer fine", "red", "pan"; empty: unknown
    std::uint8_t defaultValue = 0;
    std::size_t line = 0;         // of its definition
};

// The channels of a mode, slot after slot.
struct ProfileSlot {
    std::size_t channel = 0;            // in FixtureProfile::channels
    int head = -1;                      // the head it belongs to, from 0; -1: none
    std::optional<unsigned> fine;       // a coarse channel: the slot of its fine partner
    std::optional<unsigned> coarse;     // a fine channel: the slot of its coarse partner
};

struct ProfileMode {
    std::string name;
    std::vector<ProfileSlot> slots;
    unsigned heads = 0;
    std::size_t line = 0;
};

struct ZR_API FixtureProfile {
    std::string path;
    std::string manufacturer;
    std::string model;
    std::string type;
    std::vector<ProfileChannel> channels;
    std::vector<ProfileMode> modes;

    // The mode of that name (case-insensitive), or nullptr.
    const ProfileMode* findMode(std::string_view name) const;
    // "\"13 Channel\", \"7 Channel\"": every mode's name, quoted.
    std::string modeNames() const;
    const ProfileChannel& channelAt(const ProfileMode& mode, unsigned slot) const
    {
        return channels[mode.slots[slot].channel];
    }
};

// Reads a fixture definition file. Throws ProfileError, with the file and line, when the file
// cannot be read, is no well-formed XML, is no fixture definition, or a mode names a channel the
// file does not define.
ZR_API FixtureProfile readFixtureProfile(const std::string& path);

// The same from a text in memory; `path` names it in errors.
ZR_API FixtureProfile parseFixtureProfile(std::string_view text, const std::string& path);

// The common name of a channel preset ("IntensityRed" gives "red", "PositionPanFine" "pan
// fine"); empty for presets without one.
ZR_API std::string commonNameOfPreset(std::string_view preset);

// The fixture definitions of a directory laid out as MAKER/FILE.qxf, listed by
// FixturesMap.xml when there is one, else found by reading every file.
class ZR_API FixtureLibrary {
public:
    struct Entry {
        std::string maker; // the directory's name with spaces for '_': "American DJ"
        std::string model; // "Mega Bar LED"
        std::string path;  // the file
    };

    explicit FixtureLibrary(std::string directory = defaultDirectory());

    // $ZR_FIXTURE_DIR when set, else /usr/share/qlcplus/fixtures.
    static std::string defaultDirectory();
    // What to tell someone whose library is missing.
    static std::string installAdvice();

    const std::string& directory() const { return directory_; }
    bool exists() const;

    // Every definition, by maker then model. Throws ProfileError when FixturesMap.xml is no
    // well-formed XML.
    const std::vector<Entry>& entries() const;

    // "Maker/Model": maker and model compared without case, '_' and ' ' alike; the model may be
    // given as its file's name too ("Cameo/Cameo-TS-60-RGBW").
    const Entry* find(std::string_view makerAndModel) const;

    // The entries whose "Maker/Model" holds `pattern`, without case.
    std::vector<const Entry*> search(std::string_view pattern) const;

private:
    std::string directory_;
    mutable std::optional<std::vector<Entry>> entries_;
};

// The profile a show names: a path ending in ".qxf" (relative to `baseDirectory`), else a
// "Maker/Model" of `library`. Throws ProfileError when it cannot be found or read.
ZR_API FixtureProfile loadFixtureProfile(const std::string& name, const std::string& baseDirectory,
                                         const FixtureLibrary& library);

} // namespace zrshow
