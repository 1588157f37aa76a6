// Test helpers for watching individual threads of this process through /proc.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace tevotest {

inline std::string taskPath(pid_t tid) { return "/proc/self/task/" + std::to_string(tid); }

// True while the thread with this kernel id exists (ended threads vanish).
inline bool threadAlive(pid_t tid) { return access(taskPath(tid).c_str(), F_OK) == 0; }

// True while the thread is blocked in the kernel (state 'S'): a waiter that
// has reached its wait, as far as one can tell from outside.
inline bool threadBlocked(pid_t tid) {
    std::ifstream stat(taskPath(tid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'S';
}

}  // namespace tevotest
