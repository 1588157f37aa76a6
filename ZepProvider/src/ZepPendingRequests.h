// Requests to the gateway that a client request or a gateway event makes
// while it holds a class lock, sent after the lock is released.
//
// Why: a send may block for the framework's send time-out when the gateway's
// queue is full, and the gateway may at that moment be blocked sending to us;
// the task that delivers its events takes the class lock for every event. No
// class lock is therefore held across a send.
//
// How a client's change goes out:
//   1. Under the class lock the setters change the cached record at once and
//      queue their requests here (PendingRequests::Scope makes a set of
//      requests the calling thread's current one).
//   2. After the lock is released, send() sends them in the order they were
//      queued, and after every change request for the same cached record
//      that another client queued before them (a turn per record, taken under
//      the class lock): a record's requests reach the gateway in the order
//      their changes reached the cache, so a terminal's whole-record request
//      built later is never overtaken by an older one. Requests for other
//      records, and redirections, do not wait for each other.
//   3. When a send fails, the rest are not sent; under the class lock again,
//      restoreUndelivered() puts back the cached bytes that the undelivered
//      requests changed, unless the gateway has sent a newer record since or
//      another change has overwritten them.
//
// Data requests (mode, settings, terminal table) that event handlers make are
// queued the same way but take no turn: they go out through the link's
// retrying data request as soon as the handler's lock is released.
#ifndef ZEP_PENDING_REQUESTS_H
#define ZEP_PENDING_REQUESTS_H

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zep {

// The cached gateway record of an object, as bytes, and how many records the
// gateway has sent for it: what a change that did not reach the gateway needs
// to be taken back. Mixed into the gateway-backed objects.
class CachedRecord {
public:
    virtual unsigned char* recordBytes() = 0;
    virtual size_t recordSize() const = 0;
    uint32_t gatewayUpdates() const { return m_gatewayUpdates; }

protected:
    ~CachedRecord() = default;
    // Called when a gateway record replaces the cached one.
    void noteGatewayUpdate() { ++m_gatewayUpdates; }

private:
    uint32_t m_gatewayUpdates = 0;  // changed and read under the class lock
};

class PendingRequests {
public:
    PendingRequests() = default;
    ~PendingRequests();
    PendingRequests(const PendingRequests&) = delete;
    PendingRequests& operator=(const PendingRequests&) = delete;

    // Makes requests the calling thread's current set for its lifetime.
    class Scope {
    public:
        explicit Scope(PendingRequests& requests);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
    };

    // The calling thread's current set, or null.
    static PendingRequests* current();

    // Queues a change request. before and after are the cached record (size
    // bytes) just before and just after the change the request carries; after
    // is the cached record itself, which names its turn. One set changes one
    // record.
    void addChange(uint32_t code, const void* payload, size_t length, const unsigned char* before,
                   const unsigned char* after, size_t size);
    // Queues a change request that changes nothing cached; each delivery of
    // it counts once in counter.
    void addCounted(uint32_t code, const void* payload, size_t length, std::atomic<uint32_t>& counter);
    // Queues a data request.
    void addData(uint32_t code, const void* payload, size_t length);

    bool empty() const { return requests_.empty(); }

    // The changed record as it was when the change began (see startChange of
    // the terminals), or null.
    void setChangeStart(const unsigned char* record, size_t size);
    const unsigned char* changeStart() const { return changeStart_.empty() ? nullptr : changeStart_.data(); }

    // Remembers how many gateway records the changed object had seen once the
    // changes were made; restoreUndelivered() leaves an object alone that has
    // seen more since. Caller holds the class lock.
    void noteObject(const CachedRecord& object) { gatewayUpdates_ = object.gatewayUpdates(); }

    // Sends what is queued: change requests in their turn, stopping at the
    // first failure; data requests without a turn, each retried by the link
    // when it fails. 0 when every change request was delivered, else the
    // failed send's code (see failedCode()). Call it once, without a class lock.
    uint32_t send();

    // The request code of the change request that failed, 0 if none did.
    uint32_t failedCode() const { return failedCode_; }
    // The counter's value after this set's counted request was delivered.
    uint32_t count() const { return count_; }

    // Puts back in object the bytes that the undelivered change requests
    // changed and that still hold their values. Caller holds the class lock.
    void restoreUndelivered(CachedRecord& object) const;

private:
    struct Span {
        uint16_t offset;
        uint16_t length;
        size_t bytes;  // index into bytes_: the old bytes, then the new ones
    };
    struct Request {
        uint32_t code;
        std::vector<unsigned char> payload;
        bool data;
        std::atomic<uint32_t>* counter;
        size_t firstSpan, spanCount;
    };

    void add(uint32_t code, const void* payload, size_t length, bool data, std::atomic<uint32_t>* counter);

    std::vector<Request> requests_;
    std::vector<Span> spans_;
    std::vector<unsigned char> bytes_;
    std::vector<unsigned char> changeStart_;
    size_t delivered_ = 0;  // change requests delivered, in order
    uint32_t failedCode_ = 0;
    uint32_t count_ = 0;
    uint32_t gatewayUpdates_ = 0;
    const void* turnRecord_ = nullptr;  // the record whose turn this set holds
    uint64_t turn_ = 0;
    bool sent_ = false;
};

// Takes an object's cached record back to what it was when the guard was
// made, unless keep() is called first: a change that ends in an error before
// its requests are sent leaves nothing behind. Caller holds the class lock for
// the guard's life.
class ChangeGuard {
public:
    explicit ChangeGuard(CachedRecord* object)
        : object_(object), saved_(object ? object->recordBytes() : nullptr,
                                  object ? object->recordBytes() + object->recordSize() : nullptr) {}
    ~ChangeGuard() {
        if (object_ && !saved_.empty()) std::copy(saved_.begin(), saved_.end(), object_->recordBytes());
    }
    ChangeGuard(const ChangeGuard&) = delete;
    ChangeGuard& operator=(const ChangeGuard&) = delete;

    void keep() { object_ = nullptr; }

private:
    CachedRecord* object_;
    std::vector<unsigned char> saved_;
};

// A change request: queued in the current set, or, when there is none, sent
// at once, and on failure the record's bytes in [before, after) taken back.
// 0 or the send's code.
uint32_t requestChange(uint32_t code, const void* payload, size_t length, unsigned char* record,
                       const unsigned char* before, size_t size);

template <class Request>
uint32_t requestChange(uint32_t code, const Request& request, unsigned char* record, const unsigned char* before,
                       size_t size) {
    return requestChange(code, request.data(), request.length(), record, before, size);
}

// A data request: queued in the current set, or sent at once through the
// link's retrying data request.
void requestData(uint32_t code, const void* payload, size_t length);

template <class Request>
void requestData(uint32_t code, const Request& request) {
    requestData(code, request.data(), request.length());
}

}  // namespace zep

#endif  // ZEP_PENDING_REQUESTS_H
