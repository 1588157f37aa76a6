#include "ProviderManager.hpp"

#include <OW_CIMException.hpp>
#include <OW_Exception.hpp>
#include <OW_config.h>

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstring>

namespace cimhost {

using namespace OpenWBEM;
using Clock = std::chrono::steady_clock;

struct ProviderManager::Entry {
    std::string id;
    Factory factory;
    void* library = nullptr;
    std::mutex mutex;  // guards the members below; held while an instance is created
    IntrusiveReference<CppProviderBaseIFC> instance;
    int active = 0;
    Clock::time_point lastUse = Clock::now();
    unsigned created = 0;
    bool keptSaid = false;  // "kept" logged for this instance
};

ProviderManager::ProviderManager(ProviderEnvironmentIFCRef env, std::chrono::milliseconds ttl)
    : env_(env), ttl_(ttl) {
    if (ttl_.count() > 0) reaper_ = std::thread([this] { reap(); });
}

ProviderManager::~ProviderManager() { shutdown(); }

void ProviderManager::log(ELogLevel level, const std::string& text) const {
    LoggerRef logger = env_->getLogger();
    const String s(text.c_str());
    if (level == E_ERROR_LEVEL) logger->logError(s);
    else if (level == E_DEBUG_LEVEL) logger->logDebug(s);
    else logger->logInfo(s);
}

int ProviderManager::loadDirectory(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) {
        log(E_ERROR_LEVEL, "provider directory " + dir + " cannot be read: " + std::strerror(errno));
        return 0;
    }
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() > 6 && name.compare(0, 3, "lib") == 0 && name.compare(name.size() - 3, 3, ".so") == 0)
            names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());  // a stable load order, whatever the directory's
    int added = 0;
    for (const std::string& name : names) {
        const std::string id = name.substr(3, name.size() - 6);
        const std::string path = dir + "/" + name;
        void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
        if (!lib) {
            log(E_ERROR_LEVEL, "cannot load " + path + ": " + dlerror());
            continue;
        }
        typedef const char* (*VersionFn)();
        typedef CppProviderBaseIFC* (*FactoryFn)();
        VersionFn version = reinterpret_cast<VersionFn>(dlsym(lib, "getOWVersion"));
        if (!version || std::strcmp(version(), OW_VERSION) != 0) {
            log(E_ERROR_LEVEL, path + ": " +
                                   (version ? std::string("built for OpenWBEM ") + version() + ", not " OW_VERSION
                                            : std::string("no getOWVersion")) +
                                   "; skipped");
            dlclose(lib);
            continue;
        }
        FactoryFn factory = reinterpret_cast<FactoryFn>(dlsym(lib, ("createProvider" + id).c_str()));
        if (!factory) {
            log(E_ERROR_LEVEL, path + ": no createProvider" + id + "; skipped");
            dlclose(lib);
            continue;
        }
        add(id, factory, lib);
        log(E_INFO_LEVEL, "loaded provider " + id + " from " + path);
        ++added;
    }
    return added;
}

void ProviderManager::add(const std::string& id, Factory factory, void* library) {
    auto e = std::make_shared<Entry>();
    e->id = id;
    e->factory = std::move(factory);
    e->library = library;
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.push_back(e);
}

ProviderManager::Entry* ProviderManager::find(const std::string& id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return nullptr;
    for (const auto& e : entries_)
        if (e->id == id) return e.get();
    return nullptr;
}

bool ProviderManager::has(const std::string& id) const { return find(id) != nullptr; }

std::vector<std::string> ProviderManager::ids() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& e : entries_) out.push_back(e->id);
    return out;
}

void ProviderManager::initializeAll() {
    for (const std::string& id : ids()) {
        try {
            acquire(id);
        } catch (const std::exception& ex) {
            log(E_ERROR_LEVEL, "provider " + id + " failed to initialise: " + ex.what());
        } catch (...) {
            log(E_ERROR_LEVEL, "provider " + id + " failed to initialise");
        }
    }
}

ProviderManager::Lease ProviderManager::acquire(const std::string& id) {
    std::shared_ptr<Entry> entry;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_)
            for (const auto& e : entries_)
                if (e->id == id) entry = e;
    }
    if (!entry)
        throw CIMException(__FILE__, __LINE__, CIMException::FAILED, ("no provider " + id + " is loaded").c_str());
    std::lock_guard<std::mutex> lock(entry->mutex);
    if (!entry->instance) {
        CppProviderBaseIFC* created = entry->factory();
        if (!created)
            throw CIMException(__FILE__, __LINE__, CIMException::FAILED,
                               ("createProvider" + id + " returned no provider").c_str());
        IntrusiveReference<CppProviderBaseIFC> fresh(created);
        ++entry->created;
        fresh->initialize(env_);  // if this throws, the instance goes with `fresh`
        entry->instance = fresh;
        log(E_INFO_LEVEL, "provider " + id + " created and initialised (instance " +
                              std::to_string(entry->created) + ")");
    }
    ++entry->active;
    entry->lastUse = Clock::now();
    return Lease(entry, entry->instance, this);
}

ProviderManager::Lease::~Lease() {
    if (entry_ && owner_) owner_->release(*entry_);
}

void ProviderManager::release(Entry& e) {
    std::lock_guard<std::mutex> lock(e.mutex);
    --e.active;
    e.lastUse = Clock::now();
}

unsigned ProviderManager::creations(const std::string& id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& e : entries_)
        if (e->id == id) {
            std::lock_guard<std::mutex> entryLock(e->mutex);
            return e->created;
        }
    return 0;
}

void ProviderManager::reap() {
    const auto period = std::max(std::chrono::milliseconds(10), std::min(ttl_ / 4, std::chrono::milliseconds(1000)));
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, period);
        if (stopping_) break;
        const std::vector<std::shared_ptr<Entry>> entries = entries_;
        lock.unlock();
        for (const auto& e : entries) {
            IntrusiveReference<CppProviderBaseIFC> idle;
            bool kept = false;
            {
                std::lock_guard<std::mutex> entryLock(e->mutex);
                if (!e->instance || e->active > 0 || Clock::now() - e->lastUse < ttl_) continue;
                if (e->instance->getPersist() || !e->instance->canUnload()) {
                    kept = !e->keptSaid;
                    e->keptSaid = true;
                } else {
                    idle.swap(e->instance);
                    e->keptSaid = false;
                }
            }
            if (kept) log(E_INFO_LEVEL, "provider " + e->id + " idle for its time-to-live: kept, it cannot be unloaded");
            if (!idle) continue;
            idle = IntrusiveReference<CppProviderBaseIFC>();  // destroyed here, outside the entry lock
            log(E_INFO_LEVEL, "provider " + e->id + " idle for its time-to-live: instance destroyed");
        }
        lock.lock();
    }
}

void ProviderManager::shutdown() {
    std::vector<std::shared_ptr<Entry>> entries;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ && entries_.empty()) return;
        stopping_ = true;
        entries.swap(entries_);
    }
    wake_.notify_all();
    if (reaper_.joinable()) reaper_.join();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        IntrusiveReference<CppProviderBaseIFC> instance;
        {
            std::lock_guard<std::mutex> lock((*it)->mutex);
            instance.swap((*it)->instance);
        }
        if (instance) log(E_INFO_LEVEL, "provider " + (*it)->id + " destroyed");
    }
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if ((*it)->library) {
            dlclose((*it)->library);
            (*it)->library = nullptr;
        }
    }
}

}  // namespace cimhost
