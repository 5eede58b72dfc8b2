// What `zrsignal run` puts on the wire, as a receiver sees it: dumpcap captures inside the test's
// own network namespace and tshark's ACN and Art-Net dissectors decode the packets, which are
// compared with `--print csv` of the same show. And shows whose outputs are wrong or unreachable,
// refused at load or failing the run with the reason. Only run through in-capture-network.sh.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <regex>

#include "show_test_support.h"

using namespace showtest;
using namespace std::chrono_literals;

namespace {

// The veth end that in-private-network.sh --veth gives an address (10.77.0.1/24).
constexpr const char* VETH = "zra";

// dumpcap writing every UDP packet of one interface to a file, stopped by its pid.
class Capture {
public:
    Capture(const std::string& directory, const std::string& interfaceName) : file_(directory + "/capture.pcapng")
    {
        child_ = std::make_unique<Child>(std::vector<std::string>{"dumpcap", "-q", "-i", interfaceName, "-f", "udp",
                                                                  "-w", file_},
                                         directory + "/dumpcap.out", directory + "/dumpcap.err");
        EXPECT_TRUE(waitFor([&] { return child_->err().find("Capturing on") != std::string::npos; }, 10s))
            << child_->err();
    }

    // Stops the capture once the last packets are in, and decodes it: one row per packet, the
    // tab-separated `fields` as tshark's dissectors give them.
    std::vector<std::vector<std::string>> packets(const std::vector<std::string>& fields)
    {
        std::this_thread::sleep_for(300ms);
        child_->stop(SIGINT);
        std::vector<std::string> command{"tshark", "-r", file_, "--enable-heuristic", "acn", "-o",
                                         "acn.dmx_enable:TRUE", "-o", "acn.dmx_display_view:Decimal", "-o",
                                         "acn.dmx_display_zeros:TRUE", "-T", "fields", "-E", "separator=/t"};
        for (const std::string& field : fields) {
            command.push_back("-e");
            command.push_back(field);
        }
        const RunResult decoded = run(command, std::filesystem::path(file_).parent_path().string());
        EXPECT_EQ(decoded.status, 0) << decoded.err;
        std::vector<std::vector<std::string>> rows;
        std::istringstream lines(decoded.out);
        for (std::string line; std::getline(lines, line);) {
            std::vector<std::string> row;
            std::istringstream cells(line);
            for (std::string cell; std::getline(cells, cell, '\t');)
                row.push_back(cell);
            row.resize(fields.size());
            rows.push_back(std::move(row));
        }
        return rows;
    }

private:
    std::string file_;
    std::unique_ptr<Child> child_;
};

// The slot values of acn.dmx.data as tshark shows them in decimal: a header line of slot
// numbers, then ",001-020:   3   0 ... |   0 ..." for each twenty slots.
std::vector<int> sacnSlots(const std::string& shown)
{
    std::vector<int> slots;
    std::istringstream parts(shown);
    std::string part;
    std::getline(parts, part, ','); // the header
    while (std::getline(parts, part, ',')) {
        std::istringstream values(part.substr(part.find(':') + 1));
        for (std::string value; values >> value;) {
            if (value != "|")
                slots.push_back(std::stoi(value));
        }
    }
    return slots;
}

// Bytes as tshark writes them in hex: a payload it leaves undissected, or the slots of an
// ArtDmx packet (its DMX channels' data).
std::vector<int> hexBytes(const std::string& hex)
{
    std::vector<int> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// Two universes, each with values that change every frame: slot order and every frame's values show.
std::string countingShow(const std::string& header, const std::string& outputs)
{
    return "fps = 50\n" + header + outputs +
           "[[fixture]]\nname = \"ramp\"\nuniverse = 1\naddress = 3\ncount = 4\nchannels = [\n"
           "  { name = \"v\", formula = \"(counter(0, 1000, 1) * 0.7 + index * 20) % 100\" },\n"
           "  { name = \"fine\", formula = \"counter(0, 1000, 1) * 0.093\", width = 16 },\n]\n"
           "[[fixture]]\nname = \"other\"\nuniverse = 2\naddress = 500\n"
           "channels = [ { name = \"v\", formula = \"100 - counter(0, 1000, 1) % 100\" } ]\n";
}

std::string output(unsigned universe, const std::string& protocol, const std::string& keys)
{
    return "[[output]]\nuniverse = " + std::to_string(universe) + "\nprotocol = \"" + protocol + "\"\n" + keys;
}

class ShowOnTheWire : public testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = outsideTestNetwork("in-capture-network.sh"); !why.empty())
            GTEST_SKIP() << why;
        directory_ = scratchDirectory();
        show_ = directory_ + "/show.toml";
    }

    // --print csv of the show: for each universe, its slots frame after frame.
    std::map<int, std::vector<std::vector<int>>> printedFrames(std::uint64_t frames) const
    {
        const RunResult printed = run({ZRSIGNAL_PROGRAM, "run", show_, "--print", "csv", "--clock", "sim", "--frames",
                                       std::to_string(frames)},
                                      directory_);
        EXPECT_EQ(printed.status, 0) << printed.err;
        std::map<int, std::vector<std::vector<int>>> universes;
        for (const auto& row : csvRows(printed.out))
            universes[row[1]].emplace_back(row.begin() + 2, row.end());
        return universes;
    }

    // Runs the show in real time: `frames` frames, or until SIGTERM after `stopAfter`.
    RunResult send(std::optional<std::uint64_t> frames, std::chrono::milliseconds stopAfter = 0ms) const
    {
        if (frames)
            return run({ZRSIGNAL_PROGRAM, "run", show_, "--frames", std::to_string(*frames)}, directory_);
        Child show({ZRSIGNAL_PROGRAM, "run", show_}, directory_ + "/stdout", directory_ + "/stderr");
        std::this_thread::sleep_for(stopAfter);
        RunResult result;
        result.status = show.stop(SIGTERM);
        result.err = show.err();
        return result;
    }

    std::string directory_;
    std::string show_;
};

// The data packets of each universe as they came, and the synchronization packets between them.
struct Streams {
    std::map<int, std::vector<std::vector<int>>> frames; // universe: the slots of each packet
    std::map<int, std::vector<int>> sequences, ended;   // universe: each packet's sequence, end-of-stream mark
    std::map<int, int> sinceSync;                       // universe: data packets since the last sync packet
    std::size_t syncPackets = 0;

    void data(int universe, std::vector<int> slots, int sequence, bool endOfStream)
    {
        sequences[universe].push_back(sequence);
        ended[universe].push_back(endOfStream ? 1 : 0);
        if (!endOfStream) {
            frames[universe].push_back(std::move(slots));
            ++sinceSync[universe];
        }
    }
    // A sync packet follows exactly one data packet of each universe: the frame it shows.
    void sync()
    {
        for (int universe : {1, 2})
            EXPECT_EQ(sinceSync[universe], 1) << "sync packet " << syncPackets << ", universe " << universe;
        sinceSync.clear();
        ++syncPackets;
    }

    // Against --print csv: every frame sent is a printed one, in order (a busy machine may skip
    // frames, never reorder them), the last one exactly unless a blackout follows it (and may
    // overtake it); sequence numbers as `next` counts them; one sync packet after each frame.
    void expectAsPrinted(const std::map<int, std::vector<std::vector<int>>>& printed, bool blackout, bool lastExact,
                         int (*next)(int), bool synchronized)
    {
        for (int universe : {1, 2}) {
            SCOPED_TRACE("universe " + std::to_string(universe));
            const auto& sent = frames[universe];
            const auto& expected = printed.at(universe);
            ASSERT_GE(sent.size(), 10u);
            std::size_t at = 0;
            for (std::size_t f = 0; f + (blackout ? 1 : 0) < sent.size(); ++f) {
                while (at < expected.size() && expected[at] != sent[f])
                    ++at;
                ASSERT_LT(at, expected.size()) << "sent frame " << f << " is no printed frame in order";
            }
            if (lastExact && !blackout) {
                EXPECT_EQ(sent.back(), expected.back()) << "the last frame";
            }
            EXPECT_EQ(sent.back() == std::vector<int>(512, 0), blackout) << "a blackout ends the show only when asked";
            for (std::size_t i = 1; i < sequences[universe].size(); ++i)
                ASSERT_EQ(sequences[universe][i], next(sequences[universe][i - 1])) << "packet " << i;
        }
        EXPECT_EQ(syncPackets, synchronized ? frames[1].size() : 0u) << "one sync packet per frame";
        if (synchronized) {
            EXPECT_TRUE(sinceSync.empty()) << "the last frame is followed by its sync packet";
        }
    }
};

struct SacnCase {
    const char* name;
    std::string header;  // show-level keys
    std::string keys;    // keys of both outputs
    const char* capture; // interface to capture on
    bool multicast;      // to 239.255.0.N, else to 127.0.0.1
    int syncUniverse;    // 0: no synchronization
    bool blackout, hold; // on_exit
    bool stopBySignal;   // SIGTERM instead of a frame count
};

TEST_F(ShowOnTheWire, SacnPacketsAsReceiversSeeThem)
{
    const SacnCase cases[] = {
        {"multicast, sync_universe", "sync_universe = 7\n", "interface = \"zra\"\n", VETH, true, 7, false, false, false},
        {"unicast, sync on outputs, blackout", "on_exit = \"blackout\"\n", "address = \"127.0.0.1\"\nsync = true\n",
         "lo", false, 1, true, false, false},
        {"multicast by interface address, hold", "on_exit = \"hold\"\n", "interface = \"10.77.0.1\"\n", VETH, true, 0,
         false, true, false},
        {"multicast, stopped by SIGTERM", "", "interface = \"zra\"\n", VETH, true, 0, false, false, true},
    };
    constexpr std::uint64_t FRAMES = 40;
    for (const SacnCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string keys = c.keys + "priority = 150\n";
        writeFile(show_, countingShow(c.header, output(1, "sacn", keys) + output(2, "sacn", keys)));
        Capture capture(directory_, c.capture);
        const RunResult sent = c.stopBySignal ? send(std::nullopt, 1500ms) : send(FRAMES);
        ASSERT_EQ(sent.status, 0) << sent.err;
        EXPECT_NE(sent.err.find("; 0 errors"), std::string::npos) << sent.err;
        const auto packets = capture.packets({"ip.dst", "udp.dstport", "acn.dmx.universe", "acn.dmx.seq_number",
                                              "acn.dmx.priority", "acn.dmx.reserved", "acn.dmx.option_s",
                                              "acn.dmx.source_name", "data.data", "acn.dmx.data"});
        Streams streams;
        int lastSyncSequence = -1;
        for (const auto& p : packets) {
            ASSERT_EQ(p[1], "5568");
            if (p[2].empty()) {
                // tshark leaves E1.31 synchronization packets undissected: their bytes.
                const std::vector<int> bytes = hexBytes(p[8]);
                ASSERT_EQ(bytes.size(), 49u) << p[8];
                // Root flags and length, root vector (extended), framing flags and length, framing
                // vector (synchronization), sequence number, sync universe, reserved.
                const std::vector<int> expected{0x70, 33, 0, 0, 0, 8, 0x70, 11, 0, 0, 0, 1,
                                                lastSyncSequence < 0 ? bytes[44] : (lastSyncSequence + 1) % 256,
                                                c.syncUniverse >> 8, c.syncUniverse & 0xFF, 0, 0};
                std::vector<int> actual(bytes.begin() + 16, bytes.begin() + 22); // then the show's CID
                actual.insert(actual.end(), bytes.begin() + 38, bytes.end());
                EXPECT_EQ(actual, expected) << p[8];
                lastSyncSequence = bytes[44];
                EXPECT_EQ(p[0], c.multicast ? "239.255.0." + std::to_string(c.syncUniverse) : "127.0.0.1");
                streams.sync();
                continue;
            }
            const int universe = std::stoi(p[2]);
            ASSERT_TRUE(universe == 1 || universe == 2) << p[2];
            EXPECT_EQ(p[0], c.multicast ? "239.255.0." + std::to_string(universe) : "127.0.0.1");
            EXPECT_EQ(p[4], "150");
            EXPECT_EQ(p[5], std::to_string(c.syncUniverse)) << "synchronization address";
            EXPECT_EQ(p[7], "zrsignal");
            streams.data(universe, sacnSlots(p[9]), std::stoi(p[3]), p[6] == "1");
        }
        streams.expectAsPrinted(printedFrames(c.stopBySignal ? 1000 : FRAMES), c.blackout, !c.stopBySignal,
                                [](int s) { return (s + 1) % 256; }, c.syncUniverse != 0);
        // Each stream ends with three packets marked as its end, unless the show holds.
        for (const auto& [universe, ended] : streams.ended) {
            const long expected = c.hold ? 0 : 3;
            ASSERT_GE(ended.size(), 3u);
            EXPECT_EQ(std::count(ended.begin(), ended.end(), 1), expected) << "universe " << universe;
            EXPECT_EQ(std::count(ended.end() - expected, ended.end(), 1), expected) << "the last packets";
        }
    }
}

struct ArtNetCase {
    const char* name;
    std::string header;
    std::string keys;
    const char* capture;
    const char* destination;
    bool sync;
    bool blackout;
};

TEST_F(ShowOnTheWire, ArtNetPacketsAsNodesSeeThem)
{
    const ArtNetCase cases[] = {
        {"unicast with ArtSync", "", "address = \"127.0.0.1\"\nsync = true\n", "lo", "127.0.0.1", true, false},
        {"broadcast on an interface, blackout", "on_exit = \"blackout\"\n",
         "interface = \"zra\"\nbroadcast = true\nsync = true\n", VETH, "10.77.0.255", true, true},
        {"broadcast address", "", "address = \"10.77.0.255\"\nbroadcast = true\n", VETH, "10.77.0.255", false, false},
    };
    constexpr std::uint64_t FRAMES = 40;
    for (const ArtNetCase& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(show_, countingShow(c.header, output(1, "artnet", c.keys) + output(2, "artnet", c.keys)));
        Capture capture(directory_, c.capture);
        const RunResult sent = send(FRAMES);
        ASSERT_EQ(sent.status, 0) << sent.err;
        Streams streams;
        for (const auto& p : capture.packets({"ip.dst", "udp.dstport", "artnet.header.opcode", "artnet.output.universe",
                                              "artnet.output.sequence", "dmx_chan.data_filter", "udp.length",
                                              "artnet.header.protver"})) {
            EXPECT_EQ(p[0], c.destination);
            ASSERT_EQ(p[1], "6454");
            EXPECT_EQ(p[7], "14") << "protocol version";
            if (p[2] == "0x5200") {
                EXPECT_EQ(p[6], "22") << "ArtSync: 14 octets after the UDP header";
                streams.sync(); // ArtSync: one per destination, and both outputs go to the same one
                continue;
            }
            ASSERT_EQ(p[2], "0x5000");
            streams.data(std::stoi(p[3]), hexBytes(p[5]), std::stoi(p[4]), false);
        }
        streams.expectAsPrinted(printedFrames(FRAMES), c.blackout, true, [](int s) { return s % 255 + 1; }, c.sync);
    }
}

TEST_F(ShowOnTheWire, BadDestinationsAreRefusedAtLoadWithTheirLine)
{
    struct Case {
        std::string protocol;
        std::string keys;
        std::string message;
    };
    const Case cases[] = {
        {"sacn", "address = \"10.0.0.300\"\n", "show.toml:5: output for universe 1: '10.0.0.300' is no IPv4 address"},
        {"artnet", "address = \"10.1.2\"\n", "show.toml:5: output for universe 1: '10.1.2' is no IPv4 address"},
        {"sacn", "address = \"no-such-host.invalid\"\n", "show.toml:5: output for universe 1: cannot resolve "
                                                         "'no-such-host.invalid'"},
        {"sacn", "address = \"239.255.0.1\"\n", "show.toml:5: output for universe 1: '239.255.0.1' is a multicast group; "
                                                "leave 'address' out"},
        {"artnet", "address = \"224.0.1.9\"\n", "show.toml:5: output for universe 1: '224.0.1.9' is a multicast group"},
        {"artnet", "address = \"10.77.0.255\"\n", "show.toml:5: output for universe 1: '10.77.0.255' is the broadcast "
                                                  "address of zra: write broadcast = true"},
        {"artnet", "address = \"255.255.255.255\"\n", "show.toml:5: output for universe 1: '255.255.255.255' is the "
                                                      "broadcast address: write broadcast = true"},
        {"sacn", "address = \"10.77.0.255\"\n", "show.toml:5: output for universe 1: '10.77.0.255' is the broadcast "
                                                "address of zra; sACN goes to one host"},
        {"artnet", "address = \"10.77.0.1\"\nbroadcast = true\n", "show.toml:6: output for universe 1: broadcast = "
                                                                  "true, but '10.77.0.1' is no broadcast address"},
        {"sacn", "interface = \"eth9\"\n", "show.toml:5: output for universe 1: this machine has no interface 'eth9'"},
        {"artnet", "broadcast = true\n", "show.toml:2: output for universe 1: broadcast = true needs the 'interface'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        writeFile(show_, "fps = 50\n" + output(1, c.protocol, c.keys) +
                             "[[fixture]]\nname = \"p\"\nuniverse = 1\naddress = 1\n"
                             "channels = [ { name = \"v\", formula = \"50\" } ]\n");
        // Checked when the show loads, also when it only prints its slots.
        const RunResult result = run({ZRSIGNAL_PROGRAM, "run", show_, "--print", "csv", "--frames", "1"}, directory_);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("refused with 1 problem; nothing was sent"), std::string::npos) << result.err;
    }
}

TEST_F(ShowOnTheWire, ARunThatDeliversNothingFailsAndSaysWhy)
{
    struct Case {
        const char* name;
        std::string outputs;
        std::string output; // as messages name it
    };
    const Case cases[] = {
        // The namespace routes only 10.77.0.0/24 and loopback.
        {"no route to the host", output(1, "sacn", "address = \"10.9.9.9\"\n") + output(2, "sacn", "address = \"127.0.0.1\"\n"),
         "sacn output for universe 1 (10.9.9.9:5568)"},
        {"multicast with no route and no interface", output(1, "sacn", "") + output(2, "artnet", "address = \"127.0.0.1\"\n"),
         "sacn output for universe 1 (239.255.0.1:5568)"},
    };
    constexpr int FRAMES = 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(show_, countingShow("", c.outputs));
        const auto began = std::chrono::steady_clock::now();
        const RunResult result = send(FRAMES);
        EXPECT_LT(std::chrono::steady_clock::now() - began, 5s) << "a failing output must not slow the frames";
        EXPECT_EQ(result.status, 1) << result.err;
        const std::string once = c.output + ": cannot send: Network is unreachable";
        const auto first = result.err.find(once);
        EXPECT_NE(first, std::string::npos) << result.err;
        EXPECT_EQ(result.err.find(once, first + 1), std::string::npos) << "reported once: " << result.err;
        // Each frame the sender took, and the packets that end the stream: none of them sent.
        std::smatch counted;
        ASSERT_TRUE(std::regex_search(result.err, counted,
                                      std::regex(std::regex_replace(c.output, std::regex(R"([().])"), R"(\$&)") +
                                                 R"(: (\d+) of (\d+) packets not sent \(Network is unreachable\))")))
            << result.err;
        EXPECT_EQ(counted[1], counted[2]);
        EXPECT_GE(std::stoi(counted[1]), 2);
        EXPECT_NE(result.err.find(std::to_string(FRAMES) + " frames in"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(counted[1].str() + " errors (" + counted[1].str() + " packets not sent)"),
                  std::string::npos)
            << result.err;
        EXPECT_NE(result.err.find("the show reached none of these outputs: " + c.output + " delivered nothing"),
                  std::string::npos)
            << result.err;
    }
}

} // namespace
