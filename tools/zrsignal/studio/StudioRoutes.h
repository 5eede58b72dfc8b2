// What the studio answers, request by request, with no socket: the checks made before a body is
// read, then each route turned into a call of the studio's parts and its JSON answer. The server
// hands requests here; a fuzz target hands them here straight.
//
//   GET  /, /studio.js, /rig.js, /studio.css   the page
//   GET  /api/catalogue?q=PATTERN     catalogue rows with example curves
//   POST /api/evaluate                formula curves (form: formula..., frames, fps, vars, csv, csvName, audio, seed)
//                                     Forms are multipart/form-data, or URL-encoded when small.
//   POST /api/audio?name=NAME         keeps an audio file for /api/evaluate (body: the file)
//   GET  /api/devices                 the audio inputs that --audio-in can open
//   GET  /api/show                    the show's layout (404 without a show)
//   GET  /api/show/frames             the show's frames, a binary stream of messages (see FrameMessage)
//   POST /api/show/edit               as OSC: form address=/zr/formula/F/I/C with formula, or /zr/var/NAME with value;
//                                     I "*": the whole group, an edit the next save writes into the file
//   POST /api/show/save               writes the group edits made since the last save into the show file
//                                     (409 when the file changed on disk meanwhile; nothing is written)
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "studio/RequestGuard.h"
#include "studio/StudioFormulas.h"
#include "studio/StudioUploads.h"
#include "zrhost/AudioAnalysis.h"
#include "zrshow/show/ShowFileEditor.h"

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
    void attachShow(StudioShow* show);
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
    void saveShow(httplib::Response& res);
    void describeShow(httplib::Response& res);

    RequestGuard guard_;
    StudioCatalogue catalogue_;
    StudioUploads uploads_;
    std::mutex evaluating_; // one evaluation at a time: they seed the one random generator
    std::atomic<int> eventStreams_{0};
    StudioShow* show_ = nullptr;
    std::mutex saving_; // the group edits and the file they are saved into
    std::unique_ptr<zrshow::ShowFileSaver> saver_;
    std::map<std::pair<std::string, std::string>, std::string> unsaved_; // (fixture, channel): formula
    std::map<std::pair<std::string, std::string>, std::string> groupFormulas_; // every group edit that runs
    zrhost::BeatTrackerFactory tracker_ = nullptr;
};

} // namespace zrsignal
