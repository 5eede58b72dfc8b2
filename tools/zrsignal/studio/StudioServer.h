// The studio's web server (cpp-httplib): the page, the formula and catalogue requests, and the
// show's frames as Server-Sent Events. See RequestGuard for what it refuses.
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

#include <memory>
#include <string>

#include "zrhost/AudioAnalysis.h"

namespace zrsignal {

class StudioShow;

class StudioServer {
public:
    // Prepares the answers (the catalogue's example curves) and binds `address`:`port` (0: any
    // free port); `tracker` finds the beats of the audio files the formula pane is given (may be
    // null). Throws InputError when the port cannot be bound.
    StudioServer(const std::string& address, int port, zrhost::BeatTrackerFactory tracker = nullptr);
    ~StudioServer();
    StudioServer(const StudioServer&) = delete;
    StudioServer& operator=(const StudioServer&) = delete;

    int port() const;
    // "http://127.0.0.1:8040/".
    std::string url() const;

    // Before serve(): the show of the show pane; it must outlive the server. Without it the
    // show's requests are answered 404.
    void attachShow(StudioShow* show);

    // Answers requests on the calling thread until stop().
    void serve();
    // Ends the event streams and serve(). Any thread.
    void stop();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace zrsignal
