// What the studio answers, request by request, with no socket: the checks made before a body is
// read, then each route turned into a call of the studio's parts and its JSON answer. The server
// hands requests here; a fuzz target hands them here straight.
//
//   GET  /, /studio.js, /studio.css   the page
//   GET  /api/catalogue?q=PATTERN     catalogue rows with example curves
//   POST /api/evaluate                formula curves (form: formula..., frames, fps, vars, csv, csvName, audio, seed)
//                                     Forms are multipart/form-data, or URL-encoded when small.
//   POST /api/audio?name=NAME         keeps an audio file for /api/evaluate (body: the file)
//   GET  /api/devices                 the audio inputs that --audio-in can open
//   GET  /api/show                    the show's layout (404 without a show)
//   GET  /api/show/frames             the show's frames, as events "frame" and, at the end, "end"
//   POST /api/show/edit               as OSC: form address=/zr/formula/F/I/C with formula, or /zr/var/NAME with value
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "studio/RequestGuard.h"
#include "studio/StudioFormulas.h"
#include "studio/StudioUploads.h"
#include "zrhost/AudioAnalysis.h"

namespace httplib {
struct Request;
struct Response;
} // namespace httplib

namespace zrsignal {

class StudioShow;

class StudioRoutes {
public:
    // Prepares the answers (the catalogue's example curves). `tracker` finds the beats of the
    // audio files the formula pane is given (may be null).
    StudioRoutes(RequestGuard guard, zrhost::BeatTrackerFactory tracker);
    StudioRoutes(const StudioRoutes&) = delete;
    StudioRoutes& operator=(const StudioRoutes&) = delete;

    // The show of the show pane (null: none); it must outlive these routes.
    void attachShow(StudioShow* show) { show_ = show; }
    StudioShow* show() const { return show_; }
    const RequestGuard& guard() const { return guard_; }

    // Before the body is read: true when the request is refused (a foreign host or origin, a
    // body announced too large), with the refusal written to `res`.
    bool refuseBeforeBody(const httplib::Request& req, httplib::Response& res) const;

    // Answers a request whose body has been read. Any thread; never throws.
    void answer(const httplib::Request& req, httplib::Response& res);

private:
    void route(const httplib::Request& req, httplib::Response& res);
    void evaluate(const httplib::Request& req, httplib::Response& res);
    void storeAudio(const httplib::Request& req, httplib::Response& res);
    void listDevices(httplib::Response& res) const;
    void streamFrames(httplib::Response& res);
    void editShow(const httplib::Request& req, httplib::Response& res);

    RequestGuard guard_;
    StudioCatalogue catalogue_;
    StudioUploads uploads_;
    std::mutex evaluating_; // one evaluation at a time: they seed the one random generator
    std::atomic<int> eventStreams_{0};
    StudioShow* show_ = nullptr;
    zrhost::BeatTrackerFactory tracker_ = nullptr;
};

} // namespace zrsignal
