// The studio's web server: binds its port and answers every request with the studio's routes
// (StudioRoutes lists them) on threads of its own.
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
    // "http://127.0.0.1:8040/"; beyond loopback with the token: "http://10.0.0.5:8040/?token=...".
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
