// CIM-XML over HTTP and HTTPS: every authenticated POST body goes to
// CimOperations and its answer goes back as HTTP 200 with Content-Length,
// whatever the CIM outcome (clients read CIM errors from the body only).
// Keep-alive connections are served request after request.
//
// Worker model: a small fixed set of I/O threads reads and writes every
// connection without blocking (accepting, TLS handshakes, request heads and
// bodies, responses), and only a complete request reaches a worker thread,
// which checks the credentials and runs the operation. A connection that is
// slow to send, idle or stalled costs a descriptor and a buffer, never a
// thread, so it cannot keep others from being served. Each connection has
// deadlines: one for its whole head (from the connection's start: TLS
// handshake, request line and headers; on a kept-alive connection from the
// request's first byte), one for its whole body, one between keep-alive
// requests and one for writing the answer. A head or body that runs out of
// time is answered 408, a body announced above the size limit 413 before any
// of it is read, missing or wrong credentials 401 before the body is read,
// and each of these closes the connection. At most maxConnections are open at once; beyond
// that new ones wait in the listen queue (backlog 1024, the kernel may cap it)
// until one closes.
//
// run() blocks on the calling thread; stop() may be called from any other
// thread: listening stops, requests being handled are finished and answered,
// then every connection is closed.
#pragma once

#include <OW_Logger.hpp>

#include <chrono>
#include <memory>
#include <string>

#include "CimOperations.hpp"
#include "PasswordFile.hpp"

namespace cimhost {

struct HttpOptions {
    size_t maxRequestBytes = 16u << 20;
    std::chrono::milliseconds headTimeout{5000};   // TLS handshake, request line and headers
    std::chrono::milliseconds bodyTimeout{5000};   // the whole body
    std::chrono::milliseconds idleTimeout{30000};  // between keep-alive requests
    std::chrono::milliseconds writeTimeout{30000};  // one answer
    unsigned workers = 8;
    size_t maxConnections = 4096;
    const PasswordFile* users = nullptr;  // null: no authentication
};

class HttpServer {
public:
    HttpServer(const CimOperations& ops, const HttpOptions& options, OpenWBEM::LoggerRef logger);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Loads the certificate chain and private key (PEM) for HTTPS; false, with
    // the reason in error, when they cannot be used.
    bool useTls(const std::string& certificateFile, const std::string& keyFile, std::string& error);
    // Binds address:port for HTTP, or for HTTPS (after useTls). Port 0: any
    // free port. Returns the bound port, or -1 with the reason in error.
    int bind(const std::string& address, int port, bool tls, std::string& error);
    // Serves until stop(); false if there was nothing to serve.
    bool run();
    void stop();

    class Impl;  // the server's state and its connections, in HttpServer.cpp

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace cimhost
