// The host's object manager: answers one CIM-XML request body with one CIM-XML
// response body. Class operations are answered from the class repository;
// instance, method and association operations go to the provider named by the
// class's Provider("c++::<ID>") qualifier, with keys, property values and
// method parameters converted to their declared types first. Classes are found
// in any case, but class names reach the provider as the client wrote them:
// whether case matters there is the provider's business, as in OpenWBEM.
//
// Every failure becomes a CIM error in the response; handle() never throws.
// Thread-safe: the repository is read-only and providers are reached through
// the manager's leases, so any number of request threads may call handle().
#pragma once

#include <OW_Logger.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>

#include <string>

#include "ClassModel.hpp"
#include "ProviderManager.hpp"

namespace cimhost {

class CimOperations {
public:
    // ns is the one namespace the classes live in; requests for others fail with CIM error 3.
    CimOperations(const ClassRepository& repo, std::string ns, ProviderManager& providers,
                  OpenWBEM::ProviderEnvironmentIFCRef env);

    // host names this server in references written back (the request's Host header).
    std::string handle(const char* body, size_t size, const std::string& host) const;

    // The provider ID a Provider qualifier value names ("c++::ID", "c++:ID"), or "".
    static std::string providerIdOf(const std::string& qualifierValue);

private:
    const ClassRepository& repo_;
    std::string ns_;
    ProviderManager& providers_;
    OpenWBEM::ProviderEnvironmentIFCRef env_;
};

}  // namespace cimhost
