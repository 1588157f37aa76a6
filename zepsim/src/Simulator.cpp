#include "zepsim/Simulator.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "HulMfwStandIn.h"

namespace zepsim {

namespace {

// The framework's callbacks are plain functions: they reach the one simulator
// of the process through this pointer, set while it is joined.
std::atomic<Simulator*> gSimulator{nullptr};

// A full receiver makes each send give up after the framework's bounded wait;
// a live but slow peer gets this many of those waits before a record is lost.
constexpr int kSendAttempts = 5;
// Messages kept for the received command.
constexpr std::size_t kReceivedKept = 64;

void note(const std::string& text) {
    // One write a line, so notes from two threads never mix.
    const std::string line = "zepsim: " + text + "\n";
    fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace

Simulator::Simulator(GatewayState initial, SimulatorOptions options)
    : options_(std::move(options)), state_(std::move(initial)), announcing_(options_.announceMs > 0) {}

Simulator::~Simulator() { leave(); }

HUL_RESULT Simulator::join() {
    Simulator* none = nullptr;
    if (!gSimulator.compare_exchange_strong(none, this)) return HUL_ERR_ALREADY_JOINED;
    HUL_RESULT rc = HulMfwInitializeAs(options_.name.c_str());
    if (rc != 0) {
        gSimulator.store(nullptr);
        return rc;
    }
    joined_ = true;
    HulMfwGetProcessHandle(nullptr, &own_);
    HulMfwRegisterCallback(ZEP_MFW_CLASS_ENVELOPE, &Simulator::onMessage);
    receiver_ = std::thread([this] { receiveLoop(); });
    if (options_.announceMs > 0) announcer_ = std::thread([this] { announceLoop(); });
    return 0;
}

void Simulator::leave() {
    {
        std::lock_guard<std::mutex> lock(announceMutex_);
        stopping_.store(true);
        announceWake_.notify_all();
    }
    if (announcer_.joinable()) announcer_.join();
    if (receiver_.joinable()) receiver_.join();
    if (joined_) {
        HulMfwCleanup();
        joined_ = false;
        Simulator* self = this;
        gSimulator.compare_exchange_strong(self, nullptr);
    }
}

void Simulator::onMessage(uint16_t, uint32_t length, void* message, uint32_t sender) {
    Simulator* sim = gSimulator.load();
    if (!sim || !message) return;
    sim->handleMessage(length, static_cast<const unsigned char*>(message) + ZEP_ENVELOPE_MARK_OFFSET, sender);
}

void Simulator::handleMessage(uint32_t length, const unsigned char* body, uint32_t sender) {
    std::lock_guard<std::mutex> lock(mutex_);
    RequestOutcome o = state_.handleRequest(body, length);
    messages_.fetch_add(1);
    received_.push_back({sender, std::vector<unsigned char>(body, body + length)});
    if (received_.size() > kReceivedKept) received_.pop_front();
    if (o.code < 10) requests_[o.code].fetch_add(1);
    if (o.malformed) {
        refused_.fetch_add(1);
        note(o.note + " (from handle " + std::to_string(sender) + ")");
        return;
    }
    if (!o.note.empty()) note(o.note);
    if (o.askedForMode) {
        std::lock_guard<std::mutex> announce(announceMutex_);
        announcing_ = false;
    }
    for (const sZepToOamEvents& e : o.events) {
        if (sendEvent(sender, e) != 0) break;  // the sender is gone or stuck: the rest would be lost too
    }
}

void Simulator::receiveLoop() {
    while (!stopping_.load()) {
        const HUL_RESULT rc = HulMfwProcessNextMessage(200);
        if (rc != 0 && rc != HUL_ERR_TIMEOUT) {
            std::unique_lock<std::mutex> lock(announceMutex_);
            announceWake_.wait_for(lock, std::chrono::milliseconds(50), [&] { return stopping_.load(); });
        }
    }
}

HUL_PROCESS_HANDLE Simulator::peerHandle() const {
    HUL_PROCESS_HANDLE h = 0;
    return HulMfwGetProcessHandle(options_.peer.c_str(), &h) == 0 ? h : 0;
}

void Simulator::announceLoop() {
    HUL_PROCESS_HANDLE known = 0;
    std::unique_lock<std::mutex> lock(announceMutex_);
    while (!stopping_.load()) {
        lock.unlock();
        const HUL_PROCESS_HANDLE peer = peerHandle();
        lock.lock();
        // A new incarnation of the peer knows nothing of us: announce again.
        if (peer != 0 && peer != known) announcing_ = true;
        known = peer;
        const bool announce = announcing_ && peer != 0;
        lock.unlock();
        if (announce) {
            std::lock_guard<std::mutex> order(mutex_);
            if (sendEvent(peer, sZepToOamEvents::ofType(ZEP_EVT_LINK_UP)) == 0) linkUps_.fetch_add(1);
        }
        lock.lock();
        announceWake_.wait_for(lock, std::chrono::milliseconds(options_.announceMs),
                               [&] { return stopping_.load(); });
    }
}

HUL_RESULT Simulator::sendEvent(HUL_PROCESS_HANDLE to, const unsigned char* record, std::size_t length) {
    unsigned char buffer[ZEP_ENVELOPE_MARK_OFFSET + ZEP_EVENT_BODY_LENGTH] = {};
    // The envelope's mark is the same in both directions; the value handed to
    // the provider's callback and the reserved word stay 0. The record is
    // always sent at full size, so the provider never reads beyond a message.
    zeprec::storeU32(buffer + ZEP_ENVELOPE_MARK_OFFSET, ZEP_ENVELOPE_MARK);
    std::memcpy(buffer + ZEP_ENVELOPE_CODE_OFFSET, record, length < sZepToOamEvents::kSize ? length : sZepToOamEvents::kSize);
    const HUL_RESULT rc = sendRaw(to, ZEP_MFW_CLASS_ENVELOPE, buffer, ZEP_EVENT_BODY_LENGTH);
    if (rc == 0) {
        sent_.fetch_add(1);
    } else {
        sendFailures_.fetch_add(1);
    }
    return rc;
}

HUL_RESULT Simulator::sendRaw(HUL_PROCESS_HANDLE to, uint16_t msgClass, unsigned char* buffer, uint32_t length) {
    HUL_RESULT rc = HUL_ERR_TIMEOUT;
    for (int attempt = 0; attempt < kSendAttempts && rc == HUL_ERR_TIMEOUT && !stopping_.load(); ++attempt)
        rc = HulMfwSendMessage(to, msgClass, 0, buffer, length);
    return rc;
}

std::string Simulator::receivedLine(uint32_t n) const {
    const uint64_t total = messages_.load();
    if (n > total) return "error: " + std::to_string(total) + " messages received so far";
    if (n + received_.size() <= total)
        return "error: message " + std::to_string(n) + " is no longer kept (the last " +
               std::to_string(kReceivedKept) + " are)";
    const Received& r = received_[received_.size() - (total - n) - 1];
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : r.body) hex += {digits[b >> 4], digits[b & 15]};
    return "ok received " + std::to_string(n) + " from " + std::to_string(r.sender) + " " + hex;
}

std::string Simulator::sendTerminalIfActive(CallServer t, const sZepIPSetTableGet& r) {
    if (state_.activeType() != t) return " (not sent: " + std::string(nameOf(t)) + " is not the active type)";
    const HUL_PROCESS_HANDLE peer = peerHandle();
    if (!peer) return " (not sent: no peer)";
    const HUL_RESULT rc = sendEvent(peer, sZepToOamEvents::ipsetRecord(r));
    return rc == 0 ? " sent" : " (send failed: " + std::to_string(rc) + ")";
}

std::string Simulator::statusLine() {
    const sZepModeSetting& m = state_.mode();
    const auto type = callServerFromMoType(m.getMoType());
    std::string s = "ok status mode=" + std::string(m.getMode() ? "on" : "off") +
                    " type=" + (type ? nameOf(*type) : std::to_string(m.getMoType()));
    for (CallServer t : {CallServer::Cedar, CallServer::Alder, CallServer::Birch})
        s += " " + std::string(nameOf(t)) + "=" + std::to_string(state_.terminals(t).size());
    bool announcing;
    {
        std::lock_guard<std::mutex> lock(announceMutex_);
        announcing = announcing_;
    }
    s += " peer=" + std::string(peerHandle() ? "up" : "absent");
    s += " announcing=" + std::string(announcing ? "yes" : "no");
    s += " linkups=" + std::to_string(linkUps_.load());
    s += " requests=" + std::to_string(messages_.load());
    for (uint32_t code : {1u, 4u, 5u, 7u, 8u, 9u}) s += " req" + std::to_string(code) + "=" + std::to_string(requests_[code].load());
    s += " refused=" + std::to_string(refused_.load());
    s += " sent=" + std::to_string(sent_.load());
    s += " failed=" + std::to_string(sendFailures_.load());
    return s;
}

std::string Simulator::execute(const Command& c) {
    if (c.kind == CommandKind::Pause) {
        // Outside the state lock: requests go on being answered meanwhile.
        std::this_thread::sleep_for(std::chrono::milliseconds(c.ms));
        return "ok paused " + std::to_string(c.ms) + " ms";
    }
    std::lock_guard<std::mutex> lock(mutex_);
    switch (c.kind) {
        case CommandKind::Add:
        case CommandKind::Change: {
            const bool exists = state_.terminal(c.type, c.dn) != nullptr;
            if (c.kind == CommandKind::Change && !exists)
                return "error: no " + std::string(nameOf(c.type)) + " terminal with dn=" + std::to_string(c.dn);
            const sZepIPSetTableGet& r = state_.upsertTerminal(c.type, c.dn, c.fields);
            return std::string("ok ") + (exists ? "changed " : "added ") + nameOf(c.type) +
                   " dn=" + std::to_string(c.dn) + sendTerminalIfActive(c.type, r);
        }
        case CommandKind::Delete:
        case CommandKind::DeleteAll: {
            const bool all = c.kind == CommandKind::DeleteAll;
            std::string what;
            if (all) {
                what = std::to_string(state_.removeAllTerminals(c.type)) + " " + nameOf(c.type) + " terminals";
            } else {
                if (!state_.removeTerminal(c.type, c.dn))
                    return "error: no " + std::string(nameOf(c.type)) + " terminal with dn=" + std::to_string(c.dn);
                what = std::string(nameOf(c.type)) + " dn=" + std::to_string(c.dn);
            }
            std::string sent = " (not sent: no peer)";
            if (const HUL_PROCESS_HANDLE peer = peerHandle()) {
                const HUL_RESULT rc = sendEvent(peer, sZepToOamEvents::ipsetDeleted(moTypeOf(c.type), all ? 0 : c.dn));
                sent = rc == 0 ? " sent" : " (send failed: " + std::to_string(rc) + ")";
            }
            return "ok deleted " + what + sent;
        }
        case CommandKind::Generate: {
            state_.generateTerminals(c.type, c.count, c.firstDn);
            std::string sent;
            if (state_.activeType() == c.type) {
                if (const HUL_PROCESS_HANDLE peer = peerHandle()) {
                    uint32_t n = 0;
                    for (uint32_t i = 0; i < c.count; ++i)
                        if (sendEvent(peer, sZepToOamEvents::ipsetRecord(*state_.terminal(c.type, c.firstDn + i))) == 0) ++n;
                    sent = " sent " + std::to_string(n);
                }
            }
            return "ok generated " + std::to_string(c.count) + " " + nameOf(c.type) + " dn=" +
                   std::to_string(c.firstDn) + ".." + std::to_string(c.firstDn + c.count - 1) + sent;
        }
        case CommandKind::Mode: {
            const auto current = callServerFromMoType(state_.mode().getMoType());
            state_.setMode(c.modeOn, c.modeOn ? c.type : current.value_or(CallServer::Cedar));
            std::string sent = " (not sent: no peer)";
            if (const HUL_PROCESS_HANDLE peer = peerHandle()) {
                const HUL_RESULT rc = sendEvent(peer, state_.modeEvent());
                sent = rc == 0 ? " sent" : " (send failed: " + std::to_string(rc) + ")";
            }
            return "ok mode " + std::string(c.modeOn ? nameOf(c.type) : "off") + sent;
        }
        case CommandKind::Event: {
            const HUL_PROCESS_HANDLE peer = peerHandle();
            if (!peer) return "error: no peer '" + options_.peer + "' to send to";
            const HUL_RESULT rc = sendEvent(peer, c.bytes.data(), c.bytes.size());
            if (rc != 0) return "error: send failed with code " + std::to_string(rc);
            return "ok event type " + std::to_string(zeprec::loadU32(c.bytes.data())) + " sent";
        }
        case CommandKind::Flood: {
            const std::optional<CallServer> type = c.typeGiven ? std::optional<CallServer>(c.type) : state_.activeType();
            if (!type) return "error: the mode is off; name a TYPE to flood";
            const HUL_PROCESS_HANDLE peer = peerHandle();
            if (!peer) return "error: no peer '" + options_.peer + "' to send to";
            const GatewayState::Table& table = state_.terminals(*type);
            if (table.empty()) return "error: no " + std::string(nameOf(*type)) + " terminals to update";
            const auto start = std::chrono::steady_clock::now();
            auto it = table.begin();
            uint32_t lost = 0;
            char status[32];
            for (uint32_t i = 0; i < c.count; ++i) {
                std::snprintf(status, sizeof status, "flood %llu",
                              static_cast<unsigned long long>(++floodSequence_));
                TerminalFields f;
                f.setStatus = status;
                const sZepIPSetTableGet& r = state_.upsertTerminal(*type, it->first, f);
                if (sendEvent(peer, sZepToOamEvents::ipsetRecord(r)) != 0) ++lost;
                if (++it == table.end()) it = table.begin();
            }
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::steady_clock::now() - start).count();
            return "ok flood " + std::to_string(c.count) + " " + nameOf(*type) + " in " + std::to_string(us) +
                   " us" + (lost ? " lost " + std::to_string(lost) : std::string());
        }
        case CommandKind::RawFlood: {
            const HUL_PROCESS_HANDLE peer = peerHandle();
            if (!peer) return "error: no peer '" + options_.peer + "' to send to";
            unsigned char buffer[ZEP_ENVELOPE_MARK_OFFSET + ZEP_EVENT_BODY_LENGTH] = {};
            const auto start = std::chrono::steady_clock::now();
            uint32_t lost = 0;
            for (uint32_t i = 0; i < c.count; ++i)
                if (sendRaw(peer, c.msgClass, buffer, ZEP_EVENT_BODY_LENGTH) != 0) ++lost;
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::steady_clock::now() - start).count();
            return "ok rawflood " + std::to_string(c.count) + " class " + std::to_string(c.msgClass) + " in " +
                   std::to_string(us) + " us" + (lost ? " lost " + std::to_string(lost) : std::string());
        }
        case CommandKind::Send: {
            const HUL_PROCESS_HANDLE peer = peerHandle();
            if (!peer) return "error: no peer '" + options_.peer + "' to send to";
            std::vector<unsigned char> buffer(ZEP_ENVELOPE_MARK_OFFSET + c.bytes.size());
            std::memcpy(buffer.data() + ZEP_ENVELOPE_MARK_OFFSET, c.bytes.data(), c.bytes.size());
            const HUL_RESULT rc = sendRaw(peer, c.msgClass, buffer.data(), static_cast<uint32_t>(c.bytes.size()));
            if (rc != 0) return "error: send failed with code " + std::to_string(rc);
            return "ok sent " + std::to_string(c.bytes.size()) + " bytes class " + std::to_string(c.msgClass);
        }
        case CommandKind::Received: return receivedLine(c.count);
        case CommandKind::Pause: break;  // answered above
        case CommandKind::Status: return statusLine();
        case CommandKind::Show: {
            const sZepIPSetTableGet* r = state_.terminal(c.type, c.dn);
            if (!r) return "error: no " + std::string(nameOf(c.type)) + " terminal with dn=" + std::to_string(c.dn);
            return "ok terminal type=" + std::string(nameOf(c.type)) + " dn=" + std::to_string(r->getDN()) +
                   " mac=" + formatMac(r->getHWID()) + " ip=" + formatIPv4(r->getMOTPS()) +
                   " fw=" + quoteText(r->getFwVersion()) + " buid=" + quoteText(r->getBUID()) +
                   " motn=" + quoteText(r->getMOTN()) + " status=" + quoteText(r->getSetStatus());
        }
        case CommandKind::Stop: return "ok stop";
        case CommandKind::Crash: return "ok crash";
        case CommandKind::Help:
            return "ok commands: add change delete generate mode event flood rawflood send received pause status show stop "
                   "crash help "
                   "(zepsim --help explains them)";
    }
    return "error: unknown command";
}

}  // namespace zepsim
