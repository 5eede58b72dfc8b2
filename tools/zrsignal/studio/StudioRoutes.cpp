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

// Each open frame stream holds one of the server's threads, so they are limited apart.
constexpr int MAX_EVENT_STREAMS = 6;
// An idle frame stream sends a message this often, so a closed page is noticed.
constexpr std::chrono::seconds EVENT_KEEPALIVE{10};

// With its charset, a type the library does not compress: it would compress "application/json"
// with brotli at its slowest setting, 0.4 s for the layout of a pixel show (270 kB), far more
// than compression saves on the networks the studio serves.
const char* const JSON_TYPE = "application/json; charset=utf-8";

void answerJson(httplib::Response& res, const Json& json, int status = 200)
{
    res.status = status;
    res.set_content(jsonText(json), JSON_TYPE);
}

void answerError(httplib::Response& res, int status, const std::string& message)
{
    answerJson(res, inputErrorJson(message), status);
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

// The fixture and channel of an address that edits a whole group, "/zr/formula/FIXTURE/*/CHANNEL".
std::optional<std::pair<std::string, std::string>> groupChannel(std::string_view address)
{
    constexpr std::string_view PREFIX = "/zr/formula/";
    if (!address.starts_with(PREFIX))
        return std::nullopt;
    const std::string_view rest = address.substr(PREFIX.size());
    const auto star = rest.find("/*/");
    if (star == std::string_view::npos)
        return std::nullopt;
    return std::pair{std::string(rest.substr(0, star)), std::string(rest.substr(star + 3))};
}

// `path` as the target of a redirect that stays on this server: "//host" would leave it, and a
// path of other characters than a page's is not worth the risk of a header that says more.
std::string sameServerPath(const std::string& path)
{
    const bool plain = path.starts_with('/') && !path.starts_with("//") &&
                       path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-") ==
                           std::string::npos;
    return plain ? path : "/";
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
        // The show's names as they are now: its variables' values change frame by frame.
        ShowNames showNames;
        if (show_) {
            showNames = show_->names();
            request.show = &showNames;
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
    // The provider runs on this request's thread until the stream ends; it owns its counter slot,
    // and its frame and message buffers, allocated for the first frame only.
    struct Stream {
        std::uint64_t seen = 0;
        StudioFrame frame;
        std::string message;
    };
    auto stream = std::make_shared<Stream>();
    res.set_chunked_content_provider(
        "application/octet-stream",
        [this, stream](std::size_t, httplib::DataSink& sink) {
            std::string& message = stream->message;
            switch (show_->frames().next(stream->seen, stream->frame, EVENT_KEEPALIVE)) {
            case FrameFeed::Next::Frame:
                encodeFrameMessage(FrameMessage::Frame, stream->frame, message);
                return sink.write(message.data(), message.size());
            case FrameFeed::Next::Quiet:
                encodeFrameMessage(FrameMessage::Waiting, stream->frame, message);
                return sink.write(message.data(), message.size());
            case FrameFeed::Next::Finished:
                encodeFrameMessage(FrameMessage::End, stream->frame, message);
                sink.write(message.data(), message.size());
                sink.done();
                return true;
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
        Json answer = show_->edit(address, formula, numberField(form, "value"));
        if (const auto group = groupChannel(address); group && formula && answer.contains("ok")) {
            const std::lock_guard lock(saving_);
            unsaved_[*group] = *formula;
            groupFormulas_[*group] = *formula;
            answer["unsaved"] = unsaved_.size();
        }
        answerJson(res, answer);
    } catch (const InputError& error) {
        answerError(res, 400, error.what());
    }
}

void StudioRoutes::describeShow(httplib::Response& res)
{
    // The layout as the show was loaded, with the formulas its groups run now, so that a page
    // opened after an edit (or a save) shows them.
    const std::lock_guard lock(saving_);
    if (groupFormulas_.empty()) {
        answerJson(res, show_->layout()); // no copy of a large show's layout
        return;
    }
    Json layout = show_->layout();
    for (Json& fixture : layout.at("fixtures")) {
        for (Json& channel : fixture.at("channels")) {
            const auto edited =
                groupFormulas_.find({fixture.at("name").get<std::string>(), channel.at("name").get<std::string>()});
            if (edited != groupFormulas_.end())
                channel["formula"] = edited->second;
        }
    }
    layout["unsaved"] = unsaved_.size();
    answerJson(res, layout);
}

void StudioRoutes::attachShow(StudioShow* show)
{
    show_ = show;
    if (show_)
        saver_ = std::make_unique<zrshow::ShowFileSaver>(show_->layout().at("path").get<std::string>());
}

void StudioRoutes::saveShow(httplib::Response& res)
{
    const std::lock_guard lock(saving_);
    std::vector<zrshow::FormulaChange> changes;
    for (const auto& [channel, formula] : unsaved_)
        changes.push_back({channel.first, channel.second, formula});
    if (changes.empty()) {
        answerJson(res, {{"saved", 0}, {"path", saver_->path()}});
        return;
    }
    try {
        if (saver_->save(changes) == zrshow::ShowFileSaver::Outcome::Conflict) {
            // The show reloads the file's new version, which replaces these edits where it
            // differs: they are dropped here too, not written over it later.
            unsaved_.clear();
            const std::string conflict =
                saver_->path() +
                " changed on disk since the studio read or saved it, so nothing was written; the show takes the file's "
                "version. Make your group edits again and save them into it.";
            answerJson(res, {{"conflict", conflict}}, 409);
            return;
        }
    } catch (const InputError& error) {
        answerError(res, 500, error.what());
        return;
    }
    unsaved_.clear();
    answerJson(res, {{"saved", changes.size()}, {"path", saver_->path()}});
}

bool StudioRoutes::refuseBeforeBody(const httplib::Request& req, httplib::Response& res) const
{
    if (const auto refusal = guard_.refusal(req.get_header_value("Host"), req.get_header_value("Origin"))) {
        res.status = 403;
        res.set_content(*refusal + "\n", "text/plain; charset=utf-8");
        return true;
    }
    switch (guard_.checkToken(req.get_header_value("Cookie"), req.get_param_value("token"))) {
    case RequestGuard::TokenCheck::Passed:
        break;
    case RequestGuard::TokenCheck::FromUrl:
        // The first visit: the cookie keeps the token from then on, and the address bar and
        // the history lose it. A request other than a page's (a script's) is answered as it is.
        res.set_header("Set-Cookie", guard_.tokenCookie());
        if (req.method == "GET" || req.method == "HEAD") {
            res.status = 303;
            res.set_header("Location", sameServerPath(req.path));
            return true;
        }
        break;
    case RequestGuard::TokenCheck::Refused:
        res.status = 401;
        res.set_content("this server lets in only those who have its token: open the address zrsignal serve "
                        "printed when it started (with ?token=)\n",
                        "text/plain; charset=utf-8");
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
    if (const StudioAsset* asset = get ? findStudioAsset(path) : nullptr) {
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
        describeShow(res);
    } else if (get && path == "/api/show/frames") {
        streamFrames(res);
    } else if (post && path == "/api/show/edit") {
        editShow(req, res);
    } else if (post && path == "/api/show/save") {
        saveShow(res);
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
