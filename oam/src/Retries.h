// What the link tries again later: its set-up steps (joining the framework,
// starting the connection task) and the data requests that did not go out.
// One thread, started the first time something is scheduled, runs each job
// when it is due; it never ends (the link lives until the process ends).
#ifndef ZEP_OAM_RETRIES_H
#define ZEP_OAM_RETRIES_H

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace zepoam_detail {

// Runs job on the retry thread after delay. A job scheduled under a key that
// is already waiting replaces it. false when the retry thread cannot be
// started (nothing will run).
bool scheduleRetry(const std::string& key, std::chrono::milliseconds delay, std::function<void()> job);

// Forgets the waiting jobs whose key starts with prefix.
void cancelRetries(const std::string& prefix);

// The wait before retry number attempt (from 1): 1 s, doubling up to 30 s.
std::chrono::milliseconds retryDelay(unsigned attempt);

// The back-off of one set-up step: retryDelay of its failures so far, back to 1 s after
// a success; a failure is logged when it differs from the step's last logged
// state, and the first success after failures is logged too.
class SetUpStep {
public:
    explicit SetUpStep(const char* name) : name_(name) {}

    // A failure with the platform's code: logs it if it is news, and returns
    // the delay before the next attempt.
    std::chrono::milliseconds failed(uint32_t code);
    // A success: logs the recovery if the step had failed.
    void succeeded();

private:
    const char* name_;
    uint32_t loggedCode_ = 0;  // 0: the last state logged was success
    uint32_t failures_ = 0;
};

}  // namespace zepoam_detail

#endif  // ZEP_OAM_RETRIES_H
