// Fuzz target: an HTTP request from the input (request line, headers, blank line, body), taken
// by the studio's routes as the server would hand it over, with a small show running behind
// them: the checks before the body, then the route. Every request must get a status, and every
// JSON answer must be JSON; nothing a request says may crash the studio or its show.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include <httplib.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include "cli/ShowConsole.h"
#include "studio/RequestGuard.h"
#include "studio/StudioRoutes.h"
#include "studio/StudioShow.h"
#include "zrmachinecode/ZrMachineCode.h"

namespace {

const char* const SHOW = R"toml(fps = 200
[variables]
level = 50
[[output]]
universe = 1
protocol = "sacn"
address = "127.0.0.1"
[[fixture]]
name = "pars"
universe = 1
address = 1
count = 4
channels = [ { name = "dimmer", formula = "level" },
             { name = "red", formula = "__sin(0.1) * 50 + 50" },
             { name = "pan", formula = "counter(0, 100, 1)", width = 16 } ]
)toml";

constexpr int PORT = 8040;

// The studio as `zrsignal serve show.toml --clock sim` makes it, with frames going to the page
// only: every input is one more request to the same long-running studio.
struct Studio {
    std::string directory = makeDirectory();
    zrsignal::ShowConsole console{stderr, "studio fuzzer"};
    std::unique_ptr<zrsignal::StudioShow> show;
    zrsignal::StudioRoutes routes{zrsignal::RequestGuard("127.0.0.1", PORT), nullptr};

    Studio()
    {
        zrshow::ShowRunOptions options;
        options.showPath = directory + "/show.toml";
        std::ofstream(options.showPath) << SHOW;
        options.clock = zrhost::ClockMode::Simulated;
        options.paceSimulatedClock = true;
        options.sendOutputs = false;
        show = std::make_unique<zrsignal::StudioShow>(options, console);
        routes.attachShow(show.get());
    }
    ~Studio()
    {
        show.reset();
        std::filesystem::remove_all(directory);
    }

    static std::string makeDirectory()
    {
        std::string name = (std::filesystem::temp_directory_path() / "studio-fuzz-XXXXXX").string();
        if (!mkdtemp(name.data()))
            std::abort();
        return name;
    }
};

// One line of the input, its end ("\r\n" or "\n") taken off; `text` moves past it.
std::string_view takeLine(std::string_view& text)
{
    const auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// The request as the server's library hands it to the routes: method, path and query read
// from the first line, then the headers, then the body; a URL-encoded body gives form fields
// as the library's reader does. (Multipart bodies are the library's own parsing, left out.)
httplib::Request requestOf(std::string_view text)
{
    httplib::Request req;
    const std::string_view first = takeLine(text);
    const auto space = first.find(' ');
    req.method = std::string(first.substr(0, space));
    std::string_view target = space == std::string_view::npos ? std::string_view() : first.substr(space + 1);
    target = target.substr(0, target.find(' '));
    const auto question = target.find('?');
    req.path = httplib::detail::decode_url(std::string(target.substr(0, question)), false);
    if (question != std::string_view::npos)
        httplib::detail::parse_query_text(std::string(target.substr(question + 1)), req.params);
    for (std::string_view line = takeLine(text); !line.empty(); line = takeLine(text)) {
        const auto colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        req.headers.emplace(std::string(line.substr(0, colon)), std::string(value));
    }
    req.body = std::string(text);
    if (req.get_header_value("Content-Type").starts_with("application/x-www-form-urlencoded"))
        httplib::detail::parse_query_text(req.body, req.params);
    return req;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = zr::useMachineCode();
    (void)ready;
    static Studio studio;
    const httplib::Request req = requestOf(std::string_view(reinterpret_cast<const char*>(data), size));
    // Listing the sound cards asks the audio system, which is no part of the studio's answers.
    if (req.path == "/api/devices")
        return 0;
    httplib::Response res;
    if (!studio.routes.refuseBeforeBody(req, res))
        studio.routes.answer(req, res);
    // A route that sets no status answers 200, as the library then does.
    const int status = res.status == -1 ? 200 : res.status;
    if (status < 200 || status > 599) {
        std::fprintf(stderr, "answered with status %d\n", status);
        std::abort();
    }
    if (res.get_header_value("Content-Type").starts_with("application/json") && !nlohmann::json::accept(res.body)) {
        std::fprintf(stderr, "an answer is no JSON: %s\n", res.body.c_str());
        std::abort();
    }
    return 0;
}
