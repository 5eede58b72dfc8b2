// The studio's socket: cpp-httplib's server, its threads and headers, handing every request to
// the studio's routes.
#include "studio/StudioServer.h"

#include <sys/socket.h>

#include <optional>

#include <httplib.h>

#include "studio/StudioRoutes.h"
#include "studio/StudioShow.h"
#include "zrhost/InputError.h"

namespace zrsignal {

namespace {

// Threads answer requests; each open event stream holds one.
constexpr std::size_t SERVER_THREADS = 16;

} // namespace

struct StudioServer::State {
    httplib::Server server;
    std::optional<StudioRoutes> routes; // once the port is known
    int port = 0;

    void listen();
};

void StudioServer::State::listen()
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
    // Refusals come before the library reads a body.
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        return routes->refuseBeforeBody(req, res) ? httplib::Server::HandlerResponse::Handled
                                                  : httplib::Server::HandlerResponse::Unhandled;
    });
    const auto answer = [this](const httplib::Request& req, httplib::Response& res) { routes->answer(req, res); };
    server.Get(".*", answer);
    server.Post(".*", answer);
}

StudioServer::StudioServer(const std::string& address, int port, zrhost::BeatTrackerFactory tracker)
    : state_(std::make_unique<State>())
{
    httplib::Server& server = state_->server;
    // Without SO_REUSEPORT, which the library sets by default: a port another program listens
    // on is an error here, not a port shared with it.
    server.set_socket_options([](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    const int bound = port == 0 ? server.bind_to_any_port(address) : (server.bind_to_port(address, port) ? port : -1);
    if (bound <= 0)
        throw zrhost::InputError("cannot listen on " + address + " port " + std::to_string(port) +
                                 " (in use, or not an address of this machine)");
    state_->port = bound;
    state_->routes.emplace(RequestGuard(address, bound), tracker);
    state_->listen();
}

StudioServer::~StudioServer() = default;

int StudioServer::port() const
{
    return state_->port;
}

std::string StudioServer::url() const
{
    return state_->routes->guard().startUrl();
}

void StudioServer::attachShow(StudioShow* show)
{
    state_->routes->attachShow(show);
}

void StudioServer::serve()
{
    state_->server.listen_after_bind();
}

void StudioServer::stop()
{
    if (StudioShow* show = state_->routes->show())
        show->frames().close();
    state_->server.stop();
}

} // namespace zrsignal
