// CIM-XML over HTTP: every POST body goes to CimOperations and its answer goes
// back as HTTP 200 with Content-Length, whatever the CIM outcome (clients read
// CIM errors from the body only). Keep-alive connections are served request
// after request. Bodies above the size limit are refused by the HTTP layer.
//
// run() blocks on the calling thread; stop() may be called from any thread.
#pragma once

#include <memory>
#include <string>

#include "CimOperations.hpp"

namespace httplib {
class Server;
}

namespace cimhost {

class HttpServer {
public:
    HttpServer(const CimOperations& ops, size_t maxRequestBytes);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds address:port (port 0: any free port). Returns the bound port, or -1.
    int bind(const std::string& address, int port);
    // Serves until stop(); false if serving could not start.
    bool run();
    void stop();

private:
    const CimOperations& ops_;
    std::unique_ptr<httplib::Server> server_;
};

}  // namespace cimhost
