// The host's object manager: answers one CIM-XML request body with one CIM-XML
// response body. Class operations are answered from the class repository;
// instance, method and association operations go to the provider named by the
// class's Provider("c++::<ID>") qualifier, with keys, property values and
// method parameters converted to their declared types first. Classes are found
// in any case, but class names reach the provider as the client wrote them:
// whether case matters there is the provider's business, as in OpenWBEM.
//
// Every failure becomes a CIM error in the response; handle() never throws.
// Requests are handled in time linear in their size: names are found through
// hashes, and properties a class does not declare are passed over.
// Thread-safe: the repository is read-only and providers are reached through
// the manager's leases, so any number of request threads may call handle().
#pragma once

#include <OW_Logger.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "ClassModel.hpp"
#include "CimXmlRequest.hpp"
#include "ProviderManager.hpp"

namespace cimhost {

class CimOperations {
public:
    // ns is the one namespace the classes live in; requests for others fail with CIM error 3.
    CimOperations(const ClassRepository& repo, std::string ns, ProviderManager& providers,
                  OpenWBEM::ProviderEnvironmentIFCRef env);

    // host names this server in references written back (the request's Host header).
    std::string handle(const char* body, size_t size, const std::string& host) const;

    // What goes back over HTTP: the CIM-XML answer with status 200, or, when
    // the request's CIM headers do not let it be served (checkCimHeaders), the
    // status and CIMError header that say why, with a line of text.
    struct Reply {
        int status = 200;
        std::string cimError;  // the CIMError header; empty: none
        std::string contentType = "application/xml; charset=\"utf-8\"";
        std::string body;
    };
    // A request header's value by name, null when the request has none.
    using HeaderLookup = std::function<std::optional<std::string>(const char* name)>;
    Reply handle(const char* body, size_t size, const std::string& host, const HeaderLookup& header) const;

    // The provider ID a Provider qualifier value names ("c++::ID", "c++:ID"), or "".
    static std::string providerIdOf(const std::string& qualifierValue);

private:
    std::string answer(const ParsedRequest& parsed, const std::string& host,
                       std::chrono::steady_clock::time_point started, double startedCpu) const;

    const ClassRepository& repo_;
    std::string ns_;
    ProviderManager& providers_;
    OpenWBEM::ProviderEnvironmentIFCRef env_;
};

}  // namespace cimhost
