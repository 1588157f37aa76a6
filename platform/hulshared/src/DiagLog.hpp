// The diagnostic log behind the HulDiag calls.
//
// Entries are formatted by the calling thread and appended to an in-memory
// buffer of their file under one short lock; a flusher thread writes the
// buffers out within kFlushDelay of the first unwritten entry, or as soon as
// a buffer chunk fills. No system call is made per entry. Deregistration
// writes its file's entries before it returns, and so does process exit
// (an atexit handler), after which entries are written through at once.
//
// Log files are made mode 0600, or 0640 when HUL_DIAG_MODE is 0640; a file
// that exists with other bits is given that mode when it is opened.
//
// Every member may be called from any thread.
#pragma once

#include <stdint.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "HulDiag.h"
#include "UniqueFd.hpp"

namespace hul::diag {

class DiagLog {
public:
    // The process's log. Never destroyed: see the definition.
    static DiagLog& instance();

    HUL_DIAG_RESULT registerModule(const char* agent, const char* component, const char* module,
                                   const char* fileName, HUL_DIAG_HANDLE* handle);
    HUL_DIAG_RESULT addEntry(HUL_DIAG_HANDLE handle, uint8_t kind, uint16_t severity, uint32_t id,
                             const char* text);
    HUL_DIAG_RESULT deregisterModule(HUL_DIAG_HANDLE handle);

    // Writes every buffered entry; from here on entries are written at once.
    void flushAtExit();

    // The file that entries of handle 0 and unknown handles go to.
    static constexpr const char* kDefaultFileName = "HulDiagDefault.log";
    // How long an entry may wait in memory before the flusher writes it.
    static constexpr std::chrono::milliseconds kFlushDelay{100};

private:
    struct LogFile;
    struct Module {
        std::string name;
        std::shared_ptr<LogFile> file;
    };
    using Chunks = std::vector<std::string>;

    DiagLog();
    void flusherMain();
    void flushAll();
    void flushFile(const std::shared_ptr<LogFile>& file);
    std::shared_ptr<LogFile> openFile(const std::string& fileName, bool* opened);  // needs mutex_
    bool useDefaultFile();                                                        // needs mutex_
    void dropIfDone(const std::shared_ptr<LogFile>& file);                        // needs mutex_
    Chunks takeChunks(LogFile& file);                                             // needs mutex_
    void writeChunks(LogFile& file, Chunks& chunks);                              // needs io_
    void recycle(Chunks& chunks);                                                 // needs mutex_

    // Lock order: io_ before mutex_. io_ keeps the chunks of one file in
    // order on their way out; writers of entries take mutex_ only.
    std::mutex io_;
    std::mutex mutex_;
    std::condition_variable flusherWake_;
    std::condition_variable roomMade_;
    std::unordered_map<HUL_DIAG_HANDLE, Module> modules_;
    std::unordered_map<std::string, std::shared_ptr<LogFile>> files_;  // by path; modules share a file
    std::shared_ptr<LogFile> defaultFile_;
    Chunks spare_;
    HUL_DIAG_HANDLE lastHandle_ = 0;
    size_t dirtyFiles_ = 0;
    size_t fullChunks_ = 0;
    bool writeThrough_ = false;
};

}  // namespace hul::diag
