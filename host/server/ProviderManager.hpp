// The providers of the host, by ID, as OpenWBEM's C++ provider interface keeps
// them: libraries loaded from one directory (lib<ID>.so, opened RTLD_NOW |
// RTLD_GLOBAL, getOWVersion checked against "3.0.3", createProvider<ID>
// looked up), one provider instance per ID created and initialised once
// before its first call, and an instance idle for longer than the
// time-to-live destroyed, to be created and initialised afresh on the next
// call.
//
// Thread-safe: any number of request threads may acquire providers while the
// idle check runs on the manager's own thread. A lease keeps its instance
// alive, so an instance is never destroyed under a call.
#pragma once

#include <OW_CppProviderBaseIFC.hpp>
#include <OW_Logger.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cimhost {

class ProviderManager {
public:
    typedef std::function<OpenWBEM::CppProviderBaseIFC*()> Factory;

    // A ttl of zero or less keeps instances for the host's lifetime.
    ProviderManager(OpenWBEM::ProviderEnvironmentIFCRef env, std::chrono::milliseconds ttl);
    ~ProviderManager();
    ProviderManager(const ProviderManager&) = delete;
    ProviderManager& operator=(const ProviderManager&) = delete;

    // Loads every lib<ID>.so of dir; a library that fails a check is logged and
    // skipped. Returns how many were added.
    int loadDirectory(const std::string& dir);
    // Adds a provider made by factory; library, if not null, is dlclose'd at shutdown.
    void add(const std::string& id, Factory factory, void* library = nullptr);
    bool has(const std::string& id) const;
    std::vector<std::string> ids() const;

    // Creates and initialises every provider's instance now (those that fail are
    // logged and tried again on their first request).
    void initializeAll();

    struct Entry;

    // Holds one provider instance for the duration of a call.
    class Lease {
    public:
        Lease(Lease&&) = default;
        ~Lease();
        OpenWBEM::CppProviderBaseIFC* operator->() const { return provider_.get(); }
        OpenWBEM::CppProviderBaseIFC* get() const { return provider_.get(); }

    private:
        friend class ProviderManager;
        Lease(std::shared_ptr<Entry> entry, OpenWBEM::IntrusiveReference<OpenWBEM::CppProviderBaseIFC> p,
              ProviderManager* owner)
            : entry_(std::move(entry)), provider_(p), owner_(owner) {}
        std::shared_ptr<Entry> entry_;
        OpenWBEM::IntrusiveReference<OpenWBEM::CppProviderBaseIFC> provider_;
        ProviderManager* owner_;
    };

    // The provider's instance, created and initialised first if there is none.
    // Throws CIMException FAILED for an unknown ID; what initialize throws
    // passes through (and nothing is kept, so the next call tries again).
    Lease acquire(const std::string& id);

    // How many instances of the provider have been created so far.
    unsigned creations(const std::string& id) const;

    // Destroys the instances and closes the libraries, each in reverse load
    // order. Called by the destructor; later acquires fail.
    void shutdown();

private:
    Entry* find(const std::string& id) const;
    void release(Entry& e);
    void reap();
    void log(OpenWBEM::ELogLevel level, const std::string& text) const;

    OpenWBEM::ProviderEnvironmentIFCRef env_;
    const std::chrono::milliseconds ttl_;
    mutable std::mutex mutex_;  // guards entries_ (the list), stopping_
    std::vector<std::shared_ptr<Entry>> entries_;
    bool stopping_ = false;
    std::condition_variable wake_;
    std::thread reaper_;
};

}  // namespace cimhost
