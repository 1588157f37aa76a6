// fake_zep: a stand-in gateway for tests and benchmarks. It joins the message
// framework as "zep" (or --name NAME), then takes commands on standard input,
// one per line, and answers each with exactly one line on standard output.
// Besides the answers it prints one line per request it receives, at any time.
//
// Numbers are decimal; <hex> is a byte string in hexadecimal (may be "-" for
// none). <process> is a participant name, looked up anew for every command.
//
//   linkup <process>                 send one link-up event (type 4)       -> ok
//   announce <process> <ms>          send link-up every <ms> until a request
//                                    7 (mode) arrives or "quiet"           -> ok
//   quiet                            stop announcing                       -> ok
//   event <process> <hex>            send an event record (the bytes from the
//                                    record's type word on) in the envelope,
//                                    class 4                               -> ok
//   send <process> <class> <hex>     send <hex> as a message body as it is  -> ok
//   flood <process> <class> <n> <hex>  send the body n times, waiting out a
//                                    full receiver                         -> ok <n> <microseconds>
//   handle <process>                 look a participant up                 -> handle <number>
//   count                            requests received so far              -> count <n>
//   quit                             leave the framework and exit 0        -> ok
// A command that fails answers "error <code or reason>".
//
// On start:                          ready <own handle>
// For every class-4 message:         request <sender handle> <body hex>
//   where the body is the message from the envelope on (offset 24 of the
//   framework buffer): 3, flag, reserved, request code, payload.
//
// End of input is taken as quit. Kill it with SIGKILL to simulate a crash.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "HulMfwStandIn.h"
#include "ZepRecords.h"

namespace {

std::mutex gOut;
std::atomic<uint64_t> gRequests{0};
std::atomic<bool> gStop{false};

std::mutex gAnnounceMutex;
std::condition_variable gAnnounceChanged;
std::string gAnnounceTo;  // empty: not announcing
uint32_t gAnnounceMs = 0;

void say(const std::string& line) {
    std::lock_guard<std::mutex> lock(gOut);
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

std::string toHex(const unsigned char* p, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        s.push_back(digits[p[i] >> 4]);
        s.push_back(digits[p[i] & 15]);
    }
    return s;
}

bool fromHex(const std::string& hex, std::vector<unsigned char>* out) {
    out->clear();
    if (hex == "-") return true;
    if (hex.size() % 2) return false;
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned v = 0;
        if (sscanf(hex.c_str() + i, "%2x", &v) != 1) return false;
        out->push_back(static_cast<unsigned char>(v));
    }
    return true;
}

// Sends body as a message of msgClass; the framework header is room only.
HUL_RESULT sendBody(HUL_PROCESS_HANDLE to, uint16_t msgClass, const std::vector<unsigned char>& body) {
    std::vector<unsigned char> buffer(HUL_MFW_HEADER_SIZE + body.size());
    if (!body.empty()) memcpy(buffer.data() + HUL_MFW_HEADER_SIZE, body.data(), body.size());
    return HulMfwSendMessage(to, msgClass, 0, buffer.data(), static_cast<uint32_t>(body.size()));
}

// An event record in the envelope: the gateway writes the mark as requests
// do, 0 for the value handed to the callback and the reserved word.
std::vector<unsigned char> envelope(const unsigned char* record, size_t size) {
    std::vector<unsigned char> body(ZEP_BODY_CODE_OFFSET + size, 0);
    zeprec::storeU32(body.data(), ZEP_ENVELOPE_MARK);
    if (size) memcpy(body.data() + ZEP_BODY_CODE_OFFSET, record, size);
    return body;
}

std::vector<unsigned char> linkUpBody() {
    const sZepToOamEvents linkUp = sZepToOamEvents::ofType(ZEP_EVT_LINK_UP);
    return envelope(linkUp.data(), linkUp.size());
}

void onEnvelope(uint16_t, uint32_t length, void* message, uint32_t sender) {
    const unsigned char* body = static_cast<unsigned char*>(message) + ZEP_ENVELOPE_MARK_OFFSET;
    gRequests.fetch_add(1);
    if (length >= ZEP_BODY_PAYLOAD_OFFSET && zeprec::loadU32(body + ZEP_BODY_CODE_OFFSET) == ZEP_REQ_GET_MODE) {
        std::lock_guard<std::mutex> lock(gAnnounceMutex);
        gAnnounceTo.clear();
        gAnnounceChanged.notify_all();
    }
    say("request " + std::to_string(sender) + " " + toHex(body, length));
}

void receiveLoop() {
    while (!gStop.load()) {
        const HUL_RESULT rc = HulMfwProcessNextMessage(100);
        if (rc != 0 && rc != HUL_ERR_TIMEOUT) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void announceLoop() {
    std::unique_lock<std::mutex> lock(gAnnounceMutex);
    while (!gStop.load()) {
        if (gAnnounceTo.empty()) {
            gAnnounceChanged.wait(lock);
            continue;
        }
        const std::string to = gAnnounceTo;
        const auto interval = std::chrono::milliseconds(gAnnounceMs);
        lock.unlock();
        HUL_PROCESS_HANDLE h = 0;
        if (HulMfwGetProcessHandle(to.c_str(), &h) == 0) sendBody(h, ZEP_MFW_CLASS_ENVELOPE, linkUpBody());
        lock.lock();
        gAnnounceChanged.wait_for(lock, interval, [&] { return gStop.load() || gAnnounceTo != to; });
    }
}

std::string errorOf(HUL_RESULT rc) { return "error " + std::to_string(rc); }

std::string run(const std::string& line) {
    std::istringstream in(line);
    std::string cmd;
    in >> cmd;
    auto target = [&](HUL_PROCESS_HANDLE* h, HUL_RESULT* rc) {
        std::string name;
        in >> name;
        *rc = HulMfwGetProcessHandle(name.c_str(), h);
        return *rc == 0;
    };
    HUL_PROCESS_HANDLE to = 0;
    HUL_RESULT rc = 0;
    std::vector<unsigned char> bytes;
    std::string hex;

    if (cmd == "linkup") {
        if (!target(&to, &rc)) return errorOf(rc);
        rc = sendBody(to, ZEP_MFW_CLASS_ENVELOPE, linkUpBody());
        return rc ? errorOf(rc) : "ok";
    }
    if (cmd == "announce") {
        std::string name;
        uint32_t ms = 0;
        if (!(in >> name >> ms) || ms == 0) return "error usage";
        std::lock_guard<std::mutex> lock(gAnnounceMutex);
        gAnnounceTo = name;
        gAnnounceMs = ms;
        gAnnounceChanged.notify_all();
        return "ok";
    }
    if (cmd == "quiet") {
        std::lock_guard<std::mutex> lock(gAnnounceMutex);
        gAnnounceTo.clear();
        gAnnounceChanged.notify_all();
        return "ok";
    }
    if (cmd == "event") {
        if (!target(&to, &rc)) return errorOf(rc);
        if (!(in >> hex) || !fromHex(hex, &bytes)) return "error usage";
        rc = sendBody(to, ZEP_MFW_CLASS_ENVELOPE, envelope(bytes.data(), bytes.size()));
        return rc ? errorOf(rc) : "ok";
    }
    if (cmd == "send" || cmd == "flood") {
        if (!target(&to, &rc)) return errorOf(rc);
        unsigned msgClass = 0;
        uint64_t n = 1;
        if (!(in >> msgClass)) return "error usage";
        if (cmd == "flood" && !(in >> n)) return "error usage";
        if (!(in >> hex) || !fromHex(hex, &bytes) || msgClass > 0xFFFF) return "error usage";
        const auto start = std::chrono::steady_clock::now();
        for (uint64_t i = 0; i < n; ++i) {
            // A full receiver makes the framework give up after a while; a
            // flood waits that out rather than losing messages.
            while ((rc = sendBody(to, static_cast<uint16_t>(msgClass), bytes)) == HUL_ERR_TIMEOUT) {
            }
            if (rc) return errorOf(rc);
        }
        const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::steady_clock::now() - start).count();
        return cmd == "send" ? "ok" : "ok " + std::to_string(n) + " " + std::to_string(us);
    }
    if (cmd == "handle") {
        if (!target(&to, &rc)) return errorOf(rc);
        return "handle " + std::to_string(to);
    }
    if (cmd == "count") return "count " + std::to_string(gRequests.load());
    return "error unknown command";
}

}  // namespace

int main(int argc, char** argv) {
    std::string name = "zep";
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--name") == 0 && i + 1 < argc) name = argv[++i];
    }
    HUL_RESULT rc = HulMfwInitializeAs(name.c_str());
    if (rc != 0) {
        say("error join " + std::to_string(rc));
        return 1;
    }
    HulMfwRegisterCallback(ZEP_MFW_CLASS_ENVELOPE, onEnvelope);
    HUL_PROCESS_HANDLE own = 0;
    HulMfwGetProcessHandle(nullptr, &own);

    std::thread receiver(receiveLoop);
    std::thread announcer(announceLoop);
    say("ready " + std::to_string(own));

    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.empty()) continue;
        if (line == "quit") break;
        say(run(line));
    }
    {
        std::lock_guard<std::mutex> lock(gAnnounceMutex);
        gStop.store(true);
        gAnnounceChanged.notify_all();
    }
    receiver.join();
    announcer.join();
    HulMfwCleanup();
    say("ok");
    return 0;
}
