// The simulator as a framework participant: joins under its name, announces
// link-up to its peer, answers the provider's requests from a GatewayState and
// runs commands against that state, sending the events they imply.
//
// One Simulator per process (the framework's callbacks are process-wide).
// Thread-safe: requests arrive on the simulator's receiver thread while
// commands run on the caller's thread; one lock orders every state change
// together with the events it sends, so the provider sees them in that order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "HulMfw.h"
#include "zepsim/Commands.h"
#include "zepsim/GatewayState.h"

namespace zepsim {

struct SimulatorOptions {
    std::string name = "zep";
    std::string peer = "cimhost";
    uint32_t announceMs = 100;  // 0: never announce
};

class Simulator {
public:
    Simulator(GatewayState initial, SimulatorOptions options);
    // Leaves the framework cleanly if still joined.
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Joins the framework and starts the receiver and announcer threads.
    // 0 or the framework's code.
    HUL_RESULT join();
    HUL_PROCESS_HANDLE ownHandle() const { return own_; }

    // Runs one command and returns its answer line without the trailing
    // newline ("ok ..." or "error: reason"). Stop and crash are the caller's:
    // they answer here and the caller ends the process.
    std::string execute(const Command& c);

    // Stops announcing and receiving, then leaves the framework. Idempotent.
    void leave();

private:
    static void onMessage(uint16_t msgClass, uint32_t length, void* message, uint32_t sender);
    void handleMessage(uint32_t length, const unsigned char* body, uint32_t sender);
    void receiveLoop();
    void announceLoop();
    // Sends one event record in the envelope; waits out a full receiver for a
    // bounded time. Callers hold mutex_ so that events keep their order.
    HUL_RESULT sendEvent(HUL_PROCESS_HANDLE to, const unsigned char* record, std::size_t length);
    HUL_RESULT sendEvent(HUL_PROCESS_HANDLE to, const sZepToOamEvents& e) {
        return sendEvent(to, e.data(), e.size());
    }
    // The peer's current handle, 0 when it is absent.
    HUL_PROCESS_HANDLE peerHandle() const;
    // Sends a terminal record to the peer when its type is the active one.
    std::string sendTerminalIfActive(CallServer t, const sZepIPSetTableGet& r);
    std::string statusLine();
    std::string receivedLine(uint32_t n) const;
    // Sends with the bounded waits for a full receiver that every send gets.
    HUL_RESULT sendRaw(HUL_PROCESS_HANDLE to, uint16_t msgClass, unsigned char* buffer, uint32_t length);

    SimulatorOptions options_;
    std::mutex mutex_;  // state_, and every send of an event
    GatewayState state_;
    uint64_t floodSequence_ = 0;  // updates sent by every flood so far
    struct Received {
        uint32_t sender;
        std::vector<unsigned char> body;  // from the envelope's mark on
    };
    std::deque<Received> received_;  // the last kReceivedKept messages
    HUL_PROCESS_HANDLE own_ = 0;
    bool joined_ = false;

    std::mutex announceMutex_;
    std::condition_variable announceWake_;
    bool announcing_ = true;  // guarded by announceMutex_
    std::atomic<bool> stopping_{false};
    std::thread receiver_;
    std::thread announcer_;

    std::atomic<uint64_t> requests_[10] = {};
    std::atomic<uint64_t> messages_{0};
    std::atomic<uint64_t> refused_{0};
    std::atomic<uint64_t> sent_{0};
    std::atomic<uint64_t> sendFailures_{0};
    std::atomic<uint64_t> linkUps_{0};
};

}  // namespace zepsim
