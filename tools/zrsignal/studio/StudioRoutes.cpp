// Routes of the studio: the checks before any route, then each request turned into a call of
// the studio's parts and their JSON answer.
#include "studio/StudioRoutes.h"

#include <charconv>
#include <cmath>
#include <sstream>

#include <httplib.h>

#include "studio/StudioAssets.h"
#include "studio/StudioShow.h"
#include "zrhost/InputError.h"
#include "zrhost/NumberText.h"
#include "zrshow/inputs/AudioInput.h"

namespace zrsignal {

using zrhost::InputError;
using zrhost::Json;
using zrhost::jsonNumber;
using zrhost::jsonText;

namespace {

// Each open event stream holds one of the server's threads, so they are limited apart.
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

StudioRoutes::StudioRoutes(RequestGuard guard, zrhost::BeatTrackerFactory tracker)
    : guard_(std::move(guard)), tracker_(tracker)
{
}

void StudioRoutes::evaluate(const httplib::Request& req, httplib::Response& res)
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
            const auto path = uploads_.audioPath(*audio);
            if (!path)
                throw InputError("the audio file is no longer kept here: choose it again");
            request.audioPath = *path;
            request.beatTracker = tracker_;
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
            csv = uploads_.writeCsv(name.empty() ? "input.csv" : name, csvText);
            request.csvPath = csv->path().string();
        }
        const std::lock_guard lock(evaluating_);
        // Messages about the uploaded files name them as the user did, not by where they are kept.
        res.set_content(uploads_.withUserNames(jsonText(evaluateFormulas(request))), JSON_TYPE);
    } catch (const InputError& error) {
        answerError(res, 500, error.what());
    }
}

void StudioRoutes::storeAudio(const httplib::Request& req, httplib::Response& res)
{
    if (req.body.empty()) {
        answerError(res, 400, "the audio file is empty");
        return;
    }
    try {
        const std::string name = req.get_param_value("name");
        const std::uint64_t id = uploads_.storeAudio(name.empty() ? "audio" : name, req.body);
        answerJson(res, {{"id", id}});
    } catch (const InputError& error) {
        answerError(res, 500, error.what());
    }
}

void StudioRoutes::streamFrames(httplib::Response& res)
{
    if (++eventStreams_ > MAX_EVENT_STREAMS) {
        --eventStreams_;
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
            switch (show_->frames().next(*seen, *frame, EVENT_KEEPALIVE)) {
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
        [this](bool) { --eventStreams_; });
}

void StudioRoutes::editShow(const httplib::Request& req, httplib::Response& res)
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
        answerJson(res, show_->edit(address, formula, numberField(form, "value")));
    } catch (const InputError& error) {
        answerError(res, 400, error.what());
    }
}

bool StudioRoutes::refuseBeforeBody(const httplib::Request& req, httplib::Response& res) const
{
    if (const auto refusal = guard_.refusal(req.get_header_value("Host"), req.get_header_value("Origin"))) {
        res.status = 403;
        res.set_content(*refusal + "\n", "text/plain; charset=utf-8");
        return true;
    }
    // A body announced too large is refused unread.
    const std::size_t limit = RequestGuard::bodyLimit(req.path);
    if (announcedLength(req) > limit) {
        answerError(res, 413, "the request is larger than " + std::to_string(limit >> 20) + " MiB");
        return true;
    }
    return false;
}

void StudioRoutes::listDevices(httplib::Response& res) const
{
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
}

void StudioRoutes::route(const httplib::Request& req, httplib::Response& res)
{
    const std::string& path = req.path;
    const bool get = req.method == "GET" || req.method == "HEAD";
    const bool post = req.method == "POST";
    if (get && (path == "/" || path == "/studio.js" || path == "/studio.css")) {
        const StudioAsset* asset = findStudioAsset(path);
        res.set_content(asset->content.data(), asset->content.size(), std::string(asset->contentType).c_str());
    } else if (get && path == "/favicon.ico") {
        res.status = 204; // browsers ask for an icon; there is none
    } else if (get && path == "/api/catalogue") {
        answerJson(res, catalogue_.json(req.get_param_value("q")));
    } else if (post && path == "/api/evaluate") {
        evaluate(req, res);
    } else if (post && path == "/api/audio") {
        storeAudio(req, res);
    } else if (get && path == "/api/devices") {
        listDevices(res);
    } else if (path.starts_with("/api/show") && !show_) {
        answerError(res, 404, "no show: start zrsignal serve with a show file");
    } else if (get && path == "/api/show") {
        answerJson(res, show_->layout());
    } else if (get && path == "/api/show/frames") {
        streamFrames(res);
    } else if (post && path == "/api/show/edit") {
        editShow(req, res);
    } else {
        answerError(res, 404, req.method + " " + path + ": the studio has no such page");
    }
}

void StudioRoutes::answer(const httplib::Request& req, httplib::Response& res)
{
    try {
        route(req, res);
    } catch (const InputError& error) {
        answerError(res, 500, error.what());
    } catch (const std::exception& error) {
        answerError(res, 500, error.what());
    }
}

} // namespace zrsignal
