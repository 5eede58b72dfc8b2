// zrsignal fixtures: the fixture library's profiles, and one profile's modes slot by slot.
#include "cli/FixtureListing.h"

#include <algorithm>
#include <iostream>
#include <vector>

#include "zrshow/show/FixtureProfile.h"

namespace zrsignal {

namespace {

using zrshow::FixtureLibrary;
using zrshow::FixtureProfile;
using zrshow::ProfileMode;

// Rows of cells written in columns two spaces apart, the last cell unpadded.
void writeColumns(std::ostream& out, const std::vector<std::vector<std::string>>& rows)
{
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out << "  " << line << '\n';
    }
}

// "1+2" for both halves of a 16-bit pair, and whether the show makes it one channel.
std::string pairText(const ProfileMode& mode, unsigned slot)
{
    const auto& place = mode.slots[slot];
    const std::optional<unsigned> partner = place.fine ? place.fine : place.coarse;
    if (!partner)
        return "";
    const unsigned coarse = place.fine ? slot : *partner;
    const unsigned fine = place.fine ? *partner : slot;
    std::string text = std::to_string(coarse + 1) + "+" + std::to_string(fine + 1);
    if (fine != coarse + 1)
        text += " (apart: two 8-bit channels)";
    return text;
}

void writeProfile(std::ostream& out, const FixtureProfile& profile, const std::string& title)
{
    out << title;
    if (!profile.type.empty())
        out << " (" << profile.type << ")";
    out << ": " << profile.path << '\n';
    for (const ProfileMode& mode : profile.modes) {
        out << "\nmode \"" << mode.name << "\": " << mode.slots.size() << (mode.slots.size() == 1 ? " slot" : " slots");
        if (mode.heads > 0)
            out << ", " << mode.heads << (mode.heads == 1 ? " head" : " heads");
        out << '\n';
        std::vector<std::vector<std::string>> rows;
        rows.push_back({"slot", "channel", "common", "default"});
        if (mode.heads > 0)
            rows.back().push_back("head");
        rows.back().push_back("16-bit");
        for (unsigned slot = 0; slot < mode.slots.size(); ++slot) {
            const auto& channel = profile.channelAt(mode, slot);
            rows.push_back({std::to_string(slot + 1), channel.name, channel.common.empty() ? "-" : channel.common,
                            std::to_string(channel.defaultValue)});
            if (mode.heads > 0) {
                const int head = mode.slots[slot].head;
                rows.back().push_back(head < 0 ? "-" : std::to_string(head + 1));
            }
            rows.back().push_back(pairText(mode, slot));
        }
        writeColumns(out, rows);
    }
}

bool endsWithQxf(const std::string& text)
{
    return text.size() > 4 && std::equal(text.end() - 4, text.end(), ".qxf", [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

} // namespace

int listFixtures(const std::string& pattern)
{
    try {
        if (endsWithQxf(pattern)) {
            const FixtureProfile profile = zrshow::readFixtureProfile(pattern);
            writeProfile(std::cout, profile, profile.manufacturer + "/" + profile.model);
            return 0;
        }
        const FixtureLibrary library;
        if (!library.exists()) {
            std::cerr << "zrsignal fixtures: there is no fixture library at " << library.directory() << ": "
                      << FixtureLibrary::installAdvice() << '\n';
            return 1;
        }
        if (const FixtureLibrary::Entry* entry = library.find(pattern)) {
            writeProfile(std::cout, zrshow::readFixtureProfile(entry->path), entry->maker + "/" + entry->model);
            return 0;
        }
        const auto found = library.search(pattern);
        if (found.empty()) {
            std::cerr << "zrsignal fixtures: no maker or model in " << library.directory() << " contains '" << pattern
                      << "'\n";
            return 1;
        }
        // "Cameo/TS 60 RGBW: "13 Channel", "7 Channel", ...": what a show's profile and mode take.
        for (const FixtureLibrary::Entry* entry : found) {
            std::cout << entry->maker << '/' << entry->model << ": ";
            try {
                std::cout << zrshow::readFixtureProfile(entry->path).modeNames() << '\n';
            } catch (const zrshow::ProfileError& error) {
                std::cout << "unreadable (" << error.what() << ")\n";
            }
        }
        return 0;
    } catch (const zrshow::ProfileError& error) {
        std::cerr << "zrsignal fixtures: " << error.what() << '\n';
        return 1;
    }
}

} // namespace zrsignal
