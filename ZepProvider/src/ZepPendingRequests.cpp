#include "ZepPendingRequests.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <map>
#include <set>
#include <thread>
#include <utility>

#include "ZepOam.h"

namespace zep {

namespace {

// The current set of each thread that has one. Kept in a table rather than
// in thread-local storage: the library is opened with dlopen, and the leak
// checker of the address-sanitizer build misreads such a library's dynamic
// thread-local blocks at exit. Scopes are few and short, so a scan will do.
struct CurrentSets {
    std::mutex mutex;
    std::vector<std::pair<std::thread::id, PendingRequests*>> sets;  // innermost last per thread
};
CurrentSets& currentSets() {
    static CurrentSets* const c = new CurrentSets;  // never destroyed, as the turns below
    return *c;
}

// The order in which the change requests of one cached record go out: a turn
// is taken under the class lock when a change is queued, and served in that
// order. Requests for different records do not wait for each other. A set
// that never sends gives its turn up.
class SendTurns {
public:
    uint64_t take(const void* record) {
        std::lock_guard<std::mutex> lock(mutex_);
        return turns_[record].next++;
    }

    void wait(const void* record, uint64_t turn) {
        std::unique_lock<std::mutex> lock(mutex_);
        served_.wait(lock, [&] { return turns_[record].serving == turn; });
    }

    // Ends a turn, served or given up.
    void end(const void* record, uint64_t turn) {
        std::lock_guard<std::mutex> lock(mutex_);
        Turns& t = turns_[record];
        if (turn != t.serving) {
            t.givenUp.insert(turn);
            return;
        }
        ++t.serving;
        while (t.givenUp.erase(t.serving) != 0) ++t.serving;
        if (t.serving == t.next) turns_.erase(record);
        served_.notify_all();
    }

private:
    struct Turns {
        uint64_t next = 0;
        uint64_t serving = 0;
        std::set<uint64_t> givenUp;
    };
    std::mutex mutex_;
    std::condition_variable served_;
    std::map<const void*, Turns> turns_;  // records with requests under way
};

// Never destroyed: request threads of the object manager may still send while
// static destructors run.
SendTurns& turns() {
    static SendTurns* const t = new SendTurns;
    return *t;
}

}  // namespace

PendingRequests::Scope::Scope(PendingRequests& requests) {
    CurrentSets& c = currentSets();
    std::lock_guard<std::mutex> lock(c.mutex);
    c.sets.emplace_back(std::this_thread::get_id(), &requests);
}

PendingRequests::Scope::~Scope() {
    CurrentSets& c = currentSets();
    const std::thread::id self = std::this_thread::get_id();
    std::lock_guard<std::mutex> lock(c.mutex);
    for (auto it = c.sets.rbegin(); it != c.sets.rend(); ++it) {
        if (it->first == self) {
            c.sets.erase(std::next(it).base());
            return;
        }
    }
}

PendingRequests* PendingRequests::current() {
    CurrentSets& c = currentSets();
    const std::thread::id self = std::this_thread::get_id();
    std::lock_guard<std::mutex> lock(c.mutex);
    for (auto it = c.sets.rbegin(); it != c.sets.rend(); ++it)
        if (it->first == self) return it->second;
    return nullptr;
}

void PendingRequests::setChangeStart(const unsigned char* record, size_t size) {
    changeStart_.assign(record, record + size);
}

PendingRequests::~PendingRequests() {
    if (turnRecord_ && !sent_) turns().end(turnRecord_, turn_);
}

void PendingRequests::add(uint32_t code, const void* payload, size_t length, bool data,
                          std::atomic<uint32_t>* counter) {
    const unsigned char* p = static_cast<const unsigned char*>(payload);
    requests_.push_back(Request{code, std::vector<unsigned char>(p, p + length), data, counter, spans_.size(), 0});
}

void PendingRequests::addChange(uint32_t code, const void* payload, size_t length, const unsigned char* before,
                                const unsigned char* after, size_t size) {
    if (!turnRecord_) {
        turnRecord_ = after;
        turn_ = turns().take(after);
    }
    add(code, payload, length, false, nullptr);
    Request& request = requests_.back();
    // The changed bytes as runs, each with its old and its new bytes.
    for (size_t i = 0; i < size;) {
        if (before[i] == after[i]) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < size && before[end] != after[end]) ++end;
        spans_.push_back(Span{static_cast<uint16_t>(i), static_cast<uint16_t>(end - i), bytes_.size()});
        bytes_.insert(bytes_.end(), before + i, before + end);
        bytes_.insert(bytes_.end(), after + i, after + end);
        ++request.spanCount;
        i = end;
    }
}

void PendingRequests::addCounted(uint32_t code, const void* payload, size_t length, std::atomic<uint32_t>& counter) {
    add(code, payload, length, false, &counter);
}

void PendingRequests::addData(uint32_t code, const void* payload, size_t length) {
    add(code, payload, length, true, nullptr);
}

uint32_t PendingRequests::send() {
    sent_ = true;
    for (const Request& r : requests_) {
        if (r.data) ZepOamRequestData(r.code, r.payload.data(), static_cast<uint32_t>(r.payload.size()));
    }
    if (turnRecord_) turns().wait(turnRecord_, turn_);
    uint32_t rc = 0;
    for (const Request& r : requests_) {
        if (r.data) continue;
        rc = ZepOamSend(r.code, r.payload.data(), static_cast<uint32_t>(r.payload.size()));
        if (rc != 0) {
            failedCode_ = r.code;
            break;
        }
        if (r.counter) count_ = r.counter->fetch_add(1) + 1;
        ++delivered_;
    }
    if (turnRecord_) turns().end(turnRecord_, turn_);
    return rc;
}

void PendingRequests::restoreUndelivered(CachedRecord& object) const {
    if (object.gatewayUpdates() != gatewayUpdates_) return;  // the gateway's newer record stands
    unsigned char* record = object.recordBytes();
    const size_t size = object.recordSize();
    size_t changeIndex = 0;
    std::vector<const Request*> undelivered;
    for (const Request& r : requests_) {
        if (r.data) continue;
        if (changeIndex++ >= delivered_) undelivered.push_back(&r);
    }
    // Latest first, so that a field changed twice gets its first old value.
    for (auto it = undelivered.rbegin(); it != undelivered.rend(); ++it) {
        const Request& r = **it;
        for (size_t s = r.firstSpan + r.spanCount; s-- > r.firstSpan;) {
            const Span& span = spans_[s];
            if (span.offset + span.length > size) continue;
            const unsigned char* old = bytes_.data() + span.bytes;
            const unsigned char* now = old + span.length;
            if (std::memcmp(record + span.offset, now, span.length) == 0)
                std::memcpy(record + span.offset, old, span.length);
        }
    }
}

uint32_t requestChange(uint32_t code, const void* payload, size_t length, unsigned char* record,
                       const unsigned char* before, size_t size) {
    if (PendingRequests* pending = PendingRequests::current()) {
        pending->addChange(code, payload, length, before, record, size);
        return 0;
    }
    const uint32_t rc = ZepOamSend(code, payload, static_cast<uint32_t>(length));
    if (rc != 0) std::memcpy(record, before, size);
    return rc;
}

void requestData(uint32_t code, const void* payload, size_t length) {
    if (PendingRequests* pending = PendingRequests::current()) {
        pending->addData(code, payload, length);
        return;
    }
    ZepOamRequestData(code, payload, static_cast<uint32_t>(length));
}

}  // namespace zep
