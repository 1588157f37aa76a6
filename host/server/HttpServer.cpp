#include "HttpServer.hpp"

#include <openssl/ssl.h>

#include <atomic>
#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/stream_traits.hpp>
#include <boost/beast/http.hpp>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

namespace cimhost {

namespace net = boost::asio;
namespace ssl = boost::asio::ssl;
namespace http = boost::beast::http;
using tcp = boost::asio::ip::tcp;
using boost::system::error_code;
using Request = http::request<http::string_body>;
using Response = http::response<http::string_body>;

namespace {

const char kContentType[] = "application/xml; charset=\"utf-8\"";
const char kRealm[] = "Basic realm=\"cimhost\"";
const unsigned kIoThreads = 2;
const int kListenBacklog = 1024;
const uint32_t kHeaderLimit = 64 * 1024;
// How long a closing connection waits for the client's side to end, so that
// an answer sent before the request was read is not lost to a reset.
const std::chrono::milliseconds kLinger{2000};
// How long accepting pauses when the process is out of descriptors.
const std::chrono::milliseconds kAcceptRetry{100};

// Text from a client, fit for one log line.
std::string printable(boost::beast::string_view text) {
    std::string out;
    for (char c : text.substr(0, 64)) out += c >= ' ' && c < 0x7f ? c : '?';
    return text.size() > 64 ? out + "..." : out;
}

}  // namespace

class HttpServer::Impl {
public:
    Impl(const CimOperations& ops, const HttpOptions& options, OpenWBEM::LoggerRef logger)
        : ops_(ops), options_(options), logger_(logger), workers_(options.workers), ioc_(new net::io_context),
          work_(net::make_work_guard(*ioc_)) {}

    ~Impl() {
        stopping_ = true;
        // Connections still open end with the I/O context, while what they use is alive.
        listeners_.clear();
        work_.reset();
        ioc_.reset();
    }

    bool useTls(const std::string& certificateFile, const std::string& keyFile, std::string& error);
    int bind(const std::string& address, int port, bool tls, std::string& error);
    bool run();
    void stop() {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = true;
        changed_.notify_all();
    }

    // What connections share.
    const HttpOptions& options() const { return options_; }
    net::thread_pool& workers() { return workers_; }
    bool stopping() const { return stopping_; }
    void log(OpenWBEM::ELogLevel level, const std::string& text) const {
        if (level == OpenWBEM::E_DEBUG_LEVEL) logger_->logDebug(OpenWBEM::String(text.c_str()));
        else logger_->logInfo(OpenWBEM::String(text.c_str()));
    }
    void requestStarted() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++inFlight_;
    }
    void requestEnded() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--inFlight_ == 0) changed_.notify_all();
    }
    void connectionOpened() { ++open_; }
    void connectionClosed();
    Response answer(const Request& req) const;

private:
    struct Listener {
        Listener(net::io_context& ioc, bool tls) : acceptor(net::make_strand(ioc)), retry(acceptor.get_executor()), tls(tls) {}
        tcp::acceptor acceptor;
        net::steady_timer retry;
        const bool tls;
        std::atomic<bool> paused{false};  // at the connection limit: resumed when one closes
    };
    void accept(Listener& l);
    void resume(Listener& l);

    const CimOperations& ops_;
    const HttpOptions options_;
    OpenWBEM::LoggerRef logger_;
    std::unique_ptr<ssl::context> tls_;
    net::thread_pool workers_;
    std::unique_ptr<net::io_context> ioc_;
    net::executor_work_guard<net::io_context::executor_type> work_;
    std::vector<std::unique_ptr<Listener>> listeners_;
    std::atomic<size_t> open_{0};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopRequested_ = false;
    size_t inFlight_ = 0;  // requests between a worker taking them and their answer written
};

namespace {

// One client connection, plain or TLS, from its first byte to its close. Every
// handler runs on the connection's strand; the request itself, and the check
// of its credentials, run on a worker.
template <class Stream>
class Connection : public std::enable_shared_from_this<Connection<Stream>> {
    static constexpr bool kTls = !std::is_same<Stream, tcp::socket>::value;

public:
    Connection(HttpServer::Impl& server, Stream stream) : server_(server), stream_(std::move(stream)),
          timer_(stream_.get_executor()) {
        server_.connectionOpened();
    }
    ~Connection() {
        if (counted_) server_.requestEnded();
        server_.connectionClosed();
    }

    // The head deadline runs from here: the TLS handshake is part of it.
    void start() {
        arm(server_.options().headTimeout);
        if constexpr (kTls) {
            stream_.async_handshake(ssl::stream_base::server, [self = this->shared_from_this()](error_code ec) {
                if (ec) return self->close();
                self->readHead();
            });
        } else {
            readHead();
        }
    }

private:
    tcp::socket& socket() { return boost::beast::get_lowest_layer(stream_); }

    // Arms the one deadline of the connection: when it passes, whatever the
    // connection waits for ends with an error and expired_ is set.
    void arm(std::chrono::milliseconds timeout) {
        const unsigned generation = ++generation_;
        expired_ = false;
        timer_.expires_after(timeout);
        timer_.async_wait([self = this->shared_from_this(), generation](error_code ec) {
            if (ec || generation != self->generation_) return;
            self->expired_ = true;
            error_code ignored;
            self->socket().cancel(ignored);
        });
    }
    void disarm() {
        ++generation_;
        timer_.cancel();
    }

    // After an answer on a kept-alive connection: the idle deadline until the
    // next request's first byte, then the head deadline.
    void awaitRequest() {
        if (buffer_.size() > 0) {
            arm(server_.options().headTimeout);
            return readHead();
        }
        arm(server_.options().idleTimeout);
        stream_.async_read_some(buffer_.prepare(4096), [self = this->shared_from_this()](error_code ec, size_t n) {
            if (ec) return self->close();
            self->buffer_.commit(n);
            self->arm(self->server_.options().headTimeout);
            self->readHead();
        });
    }

    void readHead() {
        parser_.emplace();
        parser_->header_limit(kHeaderLimit);
        parser_->body_limit(server_.options().maxRequestBytes);
        http::async_read_header(stream_, buffer_, *parser_,
                                [self = this->shared_from_this()](error_code ec, size_t) { self->onHead(ec); });
    }

    void onHead(error_code ec) {
        if (ec) {
            if (expired_) {
                if (!parser_->got_some() && buffer_.size() == 0) return close();  // never said a word
                return refuse(http::status::request_timeout, "request head not complete in time");
            }
            if (ec == http::error::body_limit)
                return refuse(http::status::payload_too_large, "request body above the size limit");
            if (ec == http::error::header_limit)
                return refuse(http::status::request_header_fields_too_large, "request head too large");
            if (!parser_->got_some() && buffer_.size() == 0) return close();  // the client went
            return refuse(http::status::bad_request, "malformed request: " + ec.message());
        }
        disarm();
        const Request& req = parser_->get();
        if (!server_.options().users) return authorized(true, "");
        std::string authorization(req[http::field::authorization]);
        if (authorization.empty()) return authorized(false, "");
        // Checking a password takes a while: on a worker, not on an I/O thread.
        net::post(server_.workers(), [self = this->shared_from_this(), authorization]() {
            std::string user;
            bool ok = false;
            try {
                ok = self->server_.options().users->check(authorization, user);
            } catch (...) {
            }
            net::post(self->stream_.get_executor(), [self, ok, user]() { self->authorized(ok, user); });
        });
    }

    void authorized(bool ok, const std::string& user) {
        if (server_.stopping()) return close();
        const Request& req = parser_->get();
        if (!ok) {
            server_.log(OpenWBEM::E_INFO_LEVEL, "refused a request from " + peer() +
                                                    (user.empty() ? ": no credentials" : " as " + printable(user) + ": wrong user or password"));
            return refuse(http::status::unauthorized, "authentication required");
        }
        if (req.method() != http::verb::post) return refuse(http::status::method_not_allowed, "only POST is served");
        if (parser_->is_done()) return handle();
        if (boost::beast::iequals(req[http::field::expect], "100-continue")) {
            continue_.emplace(http::status::continue_, req.version());
            arm(server_.options().writeTimeout);
            return http::async_write(stream_, *continue_, [self = this->shared_from_this()](error_code ec, size_t) {
                if (ec) return self->close();
                self->readBody();
            });
        }
        readBody();
    }

    void readBody() {
        arm(server_.options().bodyTimeout);
        http::async_read(stream_, buffer_, *parser_, [self = this->shared_from_this()](error_code ec, size_t) {
            if (!ec) {
                self->disarm();
                return self->handle();
            }
            if (self->expired_) return self->refuse(http::status::request_timeout, "request body not complete in time");
            if (ec == http::error::body_limit)
                return self->refuse(http::status::payload_too_large, "request body above the size limit");
            if (ec == http::error::partial_message || ec == net::error::eof || ec == ssl::error::stream_truncated)
                return self->close();
            self->refuse(http::status::bad_request, "malformed request body: " + ec.message());
        });
    }

    void handle() {
        if (server_.stopping()) return close();
        server_.requestStarted();
        counted_ = true;
        auto req = std::make_shared<Request>(parser_->release());
        net::post(server_.workers(), [self = this->shared_from_this(), req]() {
            auto res = std::make_shared<Response>(self->server_.answer(*req));
            net::post(self->stream_.get_executor(), [self, res]() { self->write(std::move(*res)); });
        });
    }

    void write(Response&& res) {
        response_ = std::move(res);
        arm(server_.options().writeTimeout);
        http::async_write(stream_, response_, [self = this->shared_from_this()](error_code ec, size_t) {
            if (self->counted_) {
                self->counted_ = false;
                self->server_.requestEnded();
            }
            if (ec) return self->close();
            if (!self->response_.keep_alive() || self->server_.stopping()) return self->closeGracefully();
            self->response_ = {};
            self->awaitRequest();
        });
    }

    // Answers with an HTTP error, the request's body unread, and closes.
    void refuse(http::status status, const std::string& reason) {
        if (status != http::status::unauthorized)
            server_.log(OpenWBEM::E_DEBUG_LEVEL, "answered " + peer() + " with " + std::to_string(static_cast<int>(status)) +
                                                     ": " + reason);
        Response res{status, parser_ && parser_->is_header_done() ? parser_->get().version() : 11};
        if (status == http::status::unauthorized) res.set(http::field::www_authenticate, kRealm);
        if (status == http::status::method_not_allowed) res.set(http::field::allow, "POST");
        res.set(http::field::content_type, "text/plain");
        res.body() = reason + "\n";
        res.keep_alive(false);
        res.prepare_payload();
        write(std::move(res));
    }

    // Ends the connection after the last answer: what the client still sends
    // is read and dropped for a short while, so that the answer reaches it.
    void closeGracefully() {
        arm(kLinger);
        if constexpr (kTls) {
            stream_.async_shutdown([self = this->shared_from_this()](error_code) { self->close(); });
        } else {
            error_code ignored;
            socket().shutdown(tcp::socket::shutdown_send, ignored);
            drain();
        }
    }
    void drain() {
        buffer_.clear();
        socket().async_read_some(buffer_.prepare(4096), [self = this->shared_from_this()](error_code ec, size_t) {
            if (ec) return self->close();
            self->drain();
        });
    }

    void close() {
        disarm();
        error_code ignored;
        socket().close(ignored);
    }

    std::string peer() {
        error_code ec;
        const tcp::endpoint e = socket().remote_endpoint(ec);
        return ec ? "a client" : e.address().to_string() + ":" + std::to_string(e.port());
    }

    HttpServer::Impl& server_;
    Stream stream_;
    net::steady_timer timer_;
    unsigned generation_ = 0;
    bool expired_ = false;
    bool counted_ = false;  // a request of this connection is in the server's in-flight count
    boost::beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::optional<http::response<http::empty_body>> continue_;
    Response response_;
};

}  // namespace

// One authenticated POST: its answer. Runs on a worker.
Response HttpServer::Impl::answer(const Request& req) const {
    Response res{http::status::ok, req.version()};
    const std::string host(req[http::field::host]);
    std::string contentType = kContentType;
    try {
        // The CIM headers are checked against the request: a refusal is an HTTP status with a CIMError header.
        CimOperations::Reply reply = ops_.handle(
            req.body().data(), req.body().size(), host.empty() ? "localhost" : host,
            [&req](const char* name) -> std::optional<std::string> {
                const auto field = req.find(name);
                return field == req.end() ? std::nullopt : std::optional<std::string>(std::string(field->value()));
            });
        res.result(reply.status);
        if (!reply.cimError.empty()) res.set("CIMError", reply.cimError);
        contentType = reply.contentType;
        res.body() = std::move(reply.body);
    } catch (...) {
        // Never leave a request unanswered: a client resends it on a new connection.
        res.body() = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
                     "<MESSAGE ID=\"0\" PROTOCOLVERSION=\"1.0\"><SIMPLERSP><IMETHODRESPONSE NAME=\"\">"
                     "<ERROR CODE=\"1\" DESCRIPTION=\"internal failure\"/></IMETHODRESPONSE></SIMPLERSP>"
                     "</MESSAGE></CIM>\n";
    }
    res.set("CIMOperation", "MethodResponse");
    res.set(http::field::content_type, contentType);
    res.keep_alive(req.keep_alive());
    res.prepare_payload();
    return res;
}

bool HttpServer::Impl::useTls(const std::string& certificateFile, const std::string& keyFile, std::string& error) {
    try {
        std::unique_ptr<ssl::context> ctx(new ssl::context(ssl::context::tls_server));
        ctx->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3 |
                         ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1 | ssl::context::single_dh_use);
        ctx->use_certificate_chain_file(certificateFile);
        ctx->use_private_key_file(keyFile, ssl::context::pem);
        if (SSL_CTX_check_private_key(ctx->native_handle()) != 1) {
            error = "the key in " + keyFile + " does not belong to the certificate in " + certificateFile;
            return false;
        }
        tls_ = std::move(ctx);
        return true;
    } catch (const boost::system::system_error& e) {
        error = e.what();
        return false;
    }
}

int HttpServer::Impl::bind(const std::string& address, int port, bool tls, std::string& error) {
    if (tls && !tls_) {
        error = "HTTPS needs a certificate and key";
        return -1;
    }
    error_code ec;
    tcp::resolver resolver(*ioc_);
    const auto found = resolver.resolve(address, std::to_string(port),
                                        tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec || found.empty()) {
        error = "cannot resolve " + address + ": " + ec.message();
        return -1;
    }
    std::unique_ptr<Listener> l(new Listener(*ioc_, tls));
    const tcp::endpoint at = *found.begin();
    l->acceptor.open(at.protocol(), ec);
    if (!ec) l->acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec) l->acceptor.bind(at, ec);
    if (!ec) l->acceptor.listen(kListenBacklog, ec);
    const tcp::endpoint bound = ec ? at : l->acceptor.local_endpoint(ec);
    if (ec) {
        error = ec.message();
        return -1;
    }
    listeners_.push_back(std::move(l));
    return bound.port();
}

void HttpServer::Impl::accept(Listener& l) {
    l.acceptor.async_accept(net::make_strand(*ioc_), [this, &l](error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !l.acceptor.is_open()) return;
        if (ec) {
            // Out of descriptors, or the client gave up before it was taken: later.
            log(OpenWBEM::E_DEBUG_LEVEL, "accepting a connection failed: " + ec.message());
            l.retry.expires_after(kAcceptRetry);
            l.retry.async_wait([this, &l](error_code e) {
                if (!e) accept(l);
            });
            return;
        }
        error_code ignored;
        socket.set_option(tcp::no_delay(true), ignored);
        if (l.tls) {
            std::make_shared<Connection<ssl::stream<tcp::socket>>>(*this, ssl::stream<tcp::socket>(std::move(socket), *tls_))
                ->start();
        } else {
            std::make_shared<Connection<tcp::socket>>(*this, std::move(socket))->start();
        }
        if (open_ >= options_.maxConnections) {
            // The next connections wait in the listen queue until one closes.
            l.paused = true;
            if (open_ >= options_.maxConnections || !l.paused.exchange(false)) return;
        }
        accept(l);
    });
}

void HttpServer::Impl::resume(Listener& l) {
    if (l.paused.exchange(false))
        net::post(l.acceptor.get_executor(), [this, &l]() {
            if (l.acceptor.is_open()) accept(l);
        });
}

void HttpServer::Impl::connectionClosed() {
    --open_;
    if (stopping_) return;
    for (auto& l : listeners_) resume(*l);
}

bool HttpServer::Impl::run() {
    if (listeners_.empty()) return false;
    for (auto& l : listeners_) accept(*l);
    std::vector<std::thread> io;
    for (unsigned i = 0; i < kIoThreads; ++i) io.emplace_back([this] { ioc_->run(); });
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return stopRequested_; });
    }
    stopping_ = true;
    for (auto& l : listeners_) {
        net::post(l->acceptor.get_executor(), [&l = *l]() {
            error_code ignored;
            l.acceptor.close(ignored);
            l.retry.cancel();
        });
    }
    // Requests being handled are finished and answered; then every connection goes.
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return inFlight_ == 0; });
    }
    ioc_->stop();
    for (std::thread& t : io) t.join();
    workers_.join();
    return true;
}

HttpServer::HttpServer(const CimOperations& ops, const HttpOptions& options, OpenWBEM::LoggerRef logger)
    : impl_(new Impl(ops, options, logger)) {}

HttpServer::~HttpServer() = default;

bool HttpServer::useTls(const std::string& certificateFile, const std::string& keyFile, std::string& error) {
    return impl_->useTls(certificateFile, keyFile, error);
}

int HttpServer::bind(const std::string& address, int port, bool tls, std::string& error) {
    return impl_->bind(address, port, tls, error);
}

bool HttpServer::run() { return impl_->run(); }

void HttpServer::stop() { impl_->stop(); }

}  // namespace cimhost
