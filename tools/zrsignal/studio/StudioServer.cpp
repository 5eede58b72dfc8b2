// Routes of the studio server: the checks before any route, then each request turned into a
// call of the studio's parts and their JSON answer.
#include "studio/StudioServer.h"

#include <sys/socket.h>

#include <charconv>
#include <cmath>
#include <mutex>
#include <sstream>

#include <httplib.h>

#include "studio/RequestGuard.h"
#include "studio/StudioAssets.h"
#include "studio/StudioFormulas.h"
#include "studio/StudioShow.h"
#include "studio/StudioUploads.h"
#include "zrhost/InputError.h"
#include "zrhost/NumberText.h"
#include "zrshow/inputs/AudioInput.h"

namespace zrsignal {

using zrhost::Json;
using zrhost::jsonNumber;
using zrhost::jsonText;

using zrhost::InputError;

namespace {

// Threads answer requests; each open event stream holds one, so they are limited apart.
constexpr std::size_t SERVER_THREADS = 16;
constexpr int MAX_EVENT_STREAMS = 6;
// An idle event stream sends a comment this often, so a closed page is noticed.
constexpr std::chrono::seconds EVENT_KEEPALIVE{10};

const char* const JSON_TYPE = "application/json";

void answerJson(httplib::Response& res, const Json& json, int status = 200)
{
    res.status = status;
    res.set_content(jsonText(json), JSON_TYPE);
}

void answerError(httplib::Response& res, int status, const std::string& message)
{
    answerJson(res, inputErrorJson(message), status);
}

// The slot values of a universe as 1024 hexadecimal digits: a frame of many universes stays small.
std::string slotsHex(const zrshow::DmxSlots& slots)
{
    static constexpr char HEX[] = "0123456789abcdef";
    std::string text;
    text.reserve(slots.size() * 2);
    for (std::uint8_t value : slots) {
        text.push_back(HEX[value >> 4]);
        text.push_back(HEX[value & 0xF]);
    }
    return text;
}

// The fields of a form, sent as multipart/form-data (the page: a CSV text may be large) or
// URL-encoded (small forms only: the library refuses those beyond 8 KiB).
class FormFields {
public:
    explicit FormFields(const httplib::Request& req) : req_(req) {}

    std::vector<std::string> all(const std::string& name) const
    {
        std::vector<std::string> values;
        const auto [first, last] = req_.files.equal_range(name);
        for (auto field = first; field != last; ++field)
            values.push_back(field->second.content);
        for (std::size_t i = 0; i < req_.get_param_value_count(name); ++i)
            values.push_back(req_.get_param_value(name, i));
        return values;
    }
    bool has(const std::string& name) const { return req_.files.count(name) > 0 || req_.has_param(name); }
    // The first value, or "" when there is none.
    std::string get(const std::string& name) const
    {
        const auto values = all(name);
        return values.empty() ? std::string() : values.front();
    }

private:
    const httplib::Request& req_;
};

// A whole form field as a number, or nothing when it is absent or empty. Throws InputError
// when it is there but not a number.
std::optional<double> numberField(const FormFields& form, const std::string& name)
{
    const std::string text = form.get(name);
    if (text.empty())
        return std::nullopt;
    const auto value = zrhost::parseNumber(text);
    if (!value || !std::isfinite(*value))
        throw InputError(name + ": '" + text + "' is not a number");
    return value;
}

std::optional<std::uint64_t> countField(const FormFields& form, const std::string& name)
{
    const auto value = numberField(form, name);
    if (!value)
        return std::nullopt;
    if (*value < 0 || *value != std::floor(*value) || *value > 1e15)
        throw InputError(name + ": give a whole number from 0");
    return static_cast<std::uint64_t>(*value);
}

// The lines of a text area, blank ones left out.
std::vector<std::string> nonEmptyLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") != std::string::npos)
            lines.push_back(line);
    }
    return lines;
}

// The Content-Length of a request; 0 when it has none (the payload limit still holds then).
std::uint64_t announcedLength(const httplib::Request& req)
{
    const std::string text = req.get_header_value("Content-Length");
    std::uint64_t length = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), length);
    // A length too large to read is too large to take.
    return result.ec == std::errc::result_out_of_range ? UINT64_MAX : length;
}

} // namespace

struct StudioServer::State {
    StudioCatalogue catalogue;
    StudioUploads uploads;
    std::mutex evaluating; // one evaluation at a time: they seed the one random generator
    std::atomic<int> eventStreams{0};
    httplib::Server server;
    std::optional<RequestGuard> guard; // once the port is known
    int port = 0;

    StudioShow* show = nullptr;
    zrhost::BeatTrackerFactory tracker = nullptr;

    void route();
    httplib::Server::HandlerResponse check(const httplib::Request& req, httplib::Response& res) const;
    void evaluate(const httplib::Request& req, httplib::Response& res);
    void storeAudio(const httplib::Request& req, httplib::Response& res);
    void streamFrames(httplib::Response& res);
    void editShow(const httplib::Request& req, httplib::Response& res);
};

void StudioServer::State::evaluate(const httplib::Request& req, httplib::Response& res)
{
    const FormFields form(req);
    FormulaRequest request;
    try {
        request.formulas = form.all("formula");
        request.frames = countField(form, "frames");
        request.fps = numberField(form, "fps").value_or(request.fps);
        request.variables = nonEmptyLines(form.get("vars"));
        if (const auto seed = countField(form, "seed"))
            request.seed = static_cast<unsigned>(*seed);
        if (const auto audio = countField(form, "audio")) {
            const auto path = uploads.audioPath(*audio);
            if (!path)
                throw InputError("the audio file is no longer kept here: choose it again");
            request.audioPath = *path;
            request.beatTracker = tracker;
        }
    } catch (const InputError& error) {
        answerError(res, 400, error.what());
        return;
    }
    try {
        const std::string csvText = form.get("csv");
        std::unique_ptr<UploadedFile> csv;
        if (!csvText.empty()) {
            const std::string name = form.get("csvName");
            csv = uploads.writeCsv(name.empty() ? "input.csv" : name, csvText);
            request.csvPath = csv->path().string();
        }
        const std::lock_guard lock(evaluating);
        // Messages about the uploaded files name them as the user did, not by where they are kept.
        res.set_content(uploads.withUserNames(jsonText(evaluateFormulas(request))), JSON_TYPE);
    } catch (const InputError& error) {
        answerError(res, 500, error.what());
    }
}

void StudioServer::State::storeAudio(const httplib::Request& req, httplib::Response& res)
{
    if (req.body.empty()) {
        answerError(res, 400, "the audio file is empty");
        return;
    }
    try {
        const std::string name = req.get_param_value("name");
        const std::uint64_t id = uploads.storeAudio(name.empty() ? "audio" : name, req.body);
        answerJson(res, {{"id", id}});
    } catch (const InputError& error) {
        answerError(res, 500, error.what());
    }
}

void StudioServer::State::streamFrames(httplib::Response& res)
{
    if (++eventStreams > MAX_EVENT_STREAMS) {
        --eventStreams;
        answerError(res, 503, "too many pages follow the show; close one");
        return;
    }
    res.set_header("Cache-Control", "no-store");
    // The provider runs on this request's thread until the stream ends; it owns its counter slot.
    auto seen = std::make_shared<std::uint64_t>(0);
    auto frame = std::make_shared<StudioFrame>();
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, seen, frame](std::size_t, httplib::DataSink& sink) {
            switch (show->frames().next(*seen, *frame, EVENT_KEEPALIVE)) {
            case FrameFeed::Next::Frame: {
                Json universes = Json::array();
                for (const zrshow::DmxSlots& slots : frame->dmx.universes)
                    universes.push_back(slotsHex(slots));
                Json data = {{"frame", frame->dmx.number}, {"universes", std::move(universes)}};
                if (frame->hasTempo)
                    data["tempo"] = {{"bpm", jsonNumber(frame->tempo.bpm)},
                                     {"beat", jsonNumber(frame->tempo.beat)},
                                     {"beatphase", jsonNumber(frame->tempo.beatphase)}};
                const std::string event = "event: frame\ndata: " + jsonText(data) + "\n\n";
                return sink.write(event.data(), event.size());
            }
            case FrameFeed::Next::Quiet:
                return sink.write(": waiting\n\n", 11);
            case FrameFeed::Next::Finished: {
                const std::string event = "event: end\ndata: {}\n\n";
                sink.write(event.data(), event.size());
                sink.done();
                return true;
            }
            case FrameFeed::Next::Closed:
                sink.done();
                return true;
            }
            return false;
        },
        [this](bool) { --eventStreams; });
}

void StudioServer::State::editShow(const httplib::Request& req, httplib::Response& res)
{
    const FormFields form(req);
    const std::string address = form.get("address");
    std::optional<std::string> formula;
    if (form.has("formula")) {
        formula = form.get("formula");
        if (formula->size() > MAX_FORMULA_LENGTH) {
            answerError(res, 413, "the formula is longer than " + std::to_string(MAX_FORMULA_LENGTH) + " bytes");
            return;
        }
    }
    try {
        answerJson(res, show->edit(address, formula, numberField(form, "value")));
    } catch (const InputError& error) {
        answerError(res, 400, error.what());
    }
}

httplib::Server::HandlerResponse StudioServer::State::check(const httplib::Request& req, httplib::Response& res) const
{
    if (const auto refusal = guard->refusal(req.get_header_value("Host"), req.get_header_value("Origin"))) {
        res.status = 403;
        res.set_content(*refusal + "\n", "text/plain; charset=utf-8");
        return httplib::Server::HandlerResponse::Handled;
    }
    // Before the body is read: a body announced too large is refused unread.
    const std::size_t limit = RequestGuard::bodyLimit(req.path);
    if (announcedLength(req) > limit) {
        answerError(res, 413, "the request is larger than " + std::to_string(limit >> 20) + " MiB");
        return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
}

void StudioServer::State::route()
{
    server.new_task_queue = [] { return new httplib::ThreadPool(SERVER_THREADS); };
    server.set_payload_max_length(RequestGuard::MAX_UPLOAD_BYTES);
    // Idle connections end soon, so that stopping the server does not wait on them.
    server.set_keep_alive_timeout(1);
    server.set_default_headers({
        {"X-Content-Type-Options", "nosniff"},
        {"Content-Security-Policy", "default-src 'self'; img-src 'self' data:; frame-ancestors 'none'"},
        {"Referrer-Policy", "no-referrer"},
        {"Cache-Control", "no-store"},
    });
    server.set_pre_routing_handler(
        [this](const httplib::Request& req, httplib::Response& res) { return check(req, res); });
    server.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr failure) {
        std::string what = "unexpected failure";
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            what = e.what();
        } catch (...) {
        }
        answerError(res, 500, what);
    });

    server.Get(R"(/|/studio\.js|/studio\.css)", [](const httplib::Request& req, httplib::Response& res) {
        const StudioAsset* asset = findStudioAsset(req.path);
        res.set_content(asset->content.data(), asset->content.size(), std::string(asset->contentType).c_str());
    });
    // Browsers ask for an icon; there is none.
    server.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
    server.Get("/api/catalogue", [this](const httplib::Request& req, httplib::Response& res) {
        answerJson(res, catalogue.json(req.get_param_value("q")));
    });
    server.Post("/api/evaluate", [this](const httplib::Request& req, httplib::Response& res) { evaluate(req, res); });
    server.Post("/api/audio", [this](const httplib::Request& req, httplib::Response& res) { storeAudio(req, res); });
    server.Get("/api/devices", [](const httplib::Request&, httplib::Response& res) {
        try {
            Json devices = Json::array();
            for (const zrshow::AudioDevice& device : zrshow::audioInputDevices()) {
                devices.push_back({{"number", device.number},
                                   {"name", device.name},
                                   {"system", device.hostApi},
                                   {"channels", device.inputChannels},
                                   {"rate", jsonNumber(device.defaultSampleRate)},
                                   {"default", device.isDefault}});
            }
            answerJson(res, {{"devices", std::move(devices)}});
        } catch (const InputError& error) {
            answerError(res, 500, error.what());
        }
    });
    server.Get("/api/show", [this](const httplib::Request&, httplib::Response& res) {
        if (show)
            answerJson(res, show->layout());
        else
            answerError(res, 404, "no show: start zrsignal serve with a show file");
    });
    server.Get("/api/show/frames", [this](const httplib::Request&, httplib::Response& res) {
        if (show)
            streamFrames(res);
        else
            answerError(res, 404, "no show: start zrsignal serve with a show file");
    });
    server.Post("/api/show/edit", [this](const httplib::Request& req, httplib::Response& res) {
        if (show)
            editShow(req, res);
        else
            answerError(res, 404, "no show: start zrsignal serve with a show file");
    });
}

StudioServer::StudioServer(const std::string& address, int port, zrhost::BeatTrackerFactory tracker)
    : state_(std::make_unique<State>())
{
    state_->tracker = tracker;
    httplib::Server& server = state_->server;
    // Without SO_REUSEPORT, which the library sets by default: a port another program listens
    // on is an error here, not a port shared with it.
    server.set_socket_options([](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    const int bound = port == 0 ? server.bind_to_any_port(address) : (server.bind_to_port(address, port) ? port : -1);
    if (bound <= 0)
        throw InputError("cannot listen on " + address + " port " + std::to_string(port) +
                         " (in use, or not an address of this machine)");
    state_->port = bound;
    state_->guard.emplace(address, bound);
    state_->route();
}

StudioServer::~StudioServer() = default;

int StudioServer::port() const
{
    return state_->port;
}

std::string StudioServer::url() const
{
    return state_->guard->origin() + "/";
}

void StudioServer::attachShow(StudioShow* show)
{
    state_->show = show;
}

void StudioServer::serve()
{
    state_->server.listen_after_bind();
}

void StudioServer::stop()
{
    if (state_->show)
        state_->show->frames().close();
    state_->server.stop();
}

} // namespace zrsignal
