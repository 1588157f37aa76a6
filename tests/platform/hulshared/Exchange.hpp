// The two-way message exchange that the acceptance test runs between the test
// process and a peer process: numbered messages of varying length whose bodies
// carry a checksum, so that any loss, reordering or corruption shows.
#pragma once

#include <stdint.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "HulMfw.h"

namespace exchange {

constexpr uint16_t kClass = 4;
constexpr uint32_t kMaxBody = 2048;

inline uint32_t fnv1a(const unsigned char* p, size_t n, uint32_t h = 2166136261u) {
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

// Body of message seq: seq, checksum, then a payload of 0 to 2040 bytes.
inline uint32_t build(uint32_t seq, unsigned char* body) {
    const uint32_t payload = (seq * 7919u) % (kMaxBody - 8 + 1);
    for (uint32_t i = 0; i < payload; ++i) body[8 + i] = static_cast<unsigned char>(seq * 31u + i * 7u);
    const uint32_t sum = fnv1a(body + 8, payload, seq);
    memcpy(body, &seq, 4);
    memcpy(body + 4, &sum, 4);
    return payload + 8;
}

// What arrived so far; written by the message callback only.
struct Receiver {
    std::atomic<uint32_t> received{0};
    std::atomic<bool> failed{false};
    std::string failure;
    HUL_PROCESS_HANDLE peer = 0;

    void fail(const std::string& why) {
        if (!failed.exchange(true)) failure = why;
    }
    void onMessage(uint32_t length, const unsigned char* message, uint32_t sender) {
        const uint32_t expected = received.load();
        const unsigned char* body = message + HUL_MFW_HEADER_SIZE;
        uint32_t seq = 0, sum = 0, headerSender = 0;
        memcpy(&headerSender, message + HUL_MFW_SENDER_OFFSET, 4);
        if (length < 8) return fail("short message");
        memcpy(&seq, body, 4);
        memcpy(&sum, body + 4, 4);
        if (sender != peer || headerSender != peer) return fail("wrong sender");
        if (seq != expected) return fail("expected #" + std::to_string(expected) + ", got #" + std::to_string(seq));
        if (length != (seq * 7919u) % (kMaxBody - 8 + 1) + 8) return fail("wrong length at #" + std::to_string(seq));
        if (fnv1a(body + 8, length - 8, seq) != sum) return fail("corrupt body at #" + std::to_string(seq));
        received.store(expected + 1);
    }
};

inline Receiver& receiver() {
    static Receiver r;
    return r;
}

inline void callback(uint16_t, uint32_t length, void* message, uint32_t sender) {
    receiver().onMessage(length, static_cast<const unsigned char*>(message), sender);
}

// Runs the exchange with the participant named peerName from a participant
// that has joined: sends count messages to it while a second thread receives
// count messages from it. Returns "" on success, else what went wrong.
inline std::string run(const char* peerName, uint32_t count) {
    using Clock = std::chrono::steady_clock;
    Receiver& r = receiver();
    r.received = 0;
    r.failed = false;
    r.failure.clear();
    HUL_PROCESS_HANDLE peer = 0;
    const auto lookupEnd = Clock::now() + std::chrono::seconds(60);
    while (HulMfwGetProcessHandle(peerName, &peer) != 0) {
        if (Clock::now() > lookupEnd) return "peer never appeared";
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    r.peer = peer;
    HulMfwRegisterCallback(kClass, callback);

    std::thread loop([&] {
        // Gives up only after a whole minute without progress.
        uint32_t last = 0;
        auto progressAt = Clock::now();
        while (r.received.load() < count && !r.failed.load()) {
            HulMfwProcessNextMessage(200);
            if (r.received.load() != last) {
                last = r.received.load();
                progressAt = Clock::now();
            } else if (Clock::now() - progressAt > std::chrono::seconds(60)) {
                r.fail("stalled after " + std::to_string(last) + " messages");
            }
        }
    });
    std::string sendFailure;
    unsigned char buffer[HUL_MFW_HEADER_SIZE + kMaxBody];
    for (uint32_t seq = 0; seq < count && sendFailure.empty() && !r.failed.load(); ++seq) {
        const uint32_t length = build(seq, buffer + HUL_MFW_HEADER_SIZE);
        HUL_RESULT rc;
        // A time-out means the message did not go (a briefly stalled
        // receiver under a sanitizer): sending it again loses nothing.
        int attempts = 0;
        while ((rc = HulMfwSendMessage(peer, kClass, 0, buffer, length)) == HUL_ERR_TIMEOUT && ++attempts < 30) {
        }
        if (rc != 0) sendFailure = "send #" + std::to_string(seq) + " failed with " + std::to_string(rc);
    }
    loop.join();
    if (!sendFailure.empty()) return sendFailure;
    return r.failed.load() ? r.failure : "";
}

}  // namespace exchange
