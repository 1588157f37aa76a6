#include "HttpServer.hpp"

#include <httplib.h>

namespace cimhost {

namespace {
const char kContentType[] = "application/xml; charset=\"utf-8\"";
}

HttpServer::HttpServer(const CimOperations& ops, size_t maxRequestBytes)
    : ops_(ops), server_(new httplib::Server) {
    server_->set_payload_max_length(maxRequestBytes);
    // A client may pause between the two requests of one command; a slow
    // provider must not make the client's connection time out.
    server_->set_keep_alive_max_count(1000);
    server_->set_keep_alive_timeout(30);
    server_->set_read_timeout(30, 0);
    server_->set_write_timeout(30, 0);
    server_->Post(".*", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string host = req.get_header_value("Host");
        std::string body;
        try {
            body = ops_.handle(req.body.data(), req.body.size(), host.empty() ? "localhost" : host);
        } catch (...) {
            // Never leave a request unanswered: a client resends it on a new connection.
            body = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
                   "<MESSAGE ID=\"0\" PROTOCOLVERSION=\"1.0\"><SIMPLERSP><IMETHODRESPONSE NAME=\"\">"
                   "<ERROR CODE=\"1\" DESCRIPTION=\"internal failure\"/></IMETHODRESPONSE></SIMPLERSP>"
                   "</MESSAGE></CIM>\n";
        }
        res.status = 200;
        res.set_header("CIMOperation", "MethodResponse");
        res.set_content(body, kContentType);
    });
}

HttpServer::~HttpServer() = default;

int HttpServer::bind(const std::string& address, int port) {
    if (port == 0) return server_->bind_to_any_port(address.c_str());
    return server_->bind_to_port(address.c_str(), port) ? port : -1;
}

bool HttpServer::run() { return server_->listen_after_bind(); }

void HttpServer::stop() { server_->stop(); }

}  // namespace cimhost
