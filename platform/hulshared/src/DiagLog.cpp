#include "DiagLog.hpp"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <system_error>
#include <thread>

namespace hul::diag {
namespace {

// A chunk is handed to the flusher when it holds this much.
constexpr size_t kChunkBytes = 64 * 1024;
// A file whose unwritten entries reach this much makes writers wait for the
// flusher instead of growing without bound when the disk is slower than they.
constexpr size_t kMaxQueuedBytes = 8 * 1024 * 1024;
// Longer texts are cut, so that one entry cannot swamp the log.
constexpr size_t kMaxTextBytes = 8 * 1024;
constexpr char kTruncated[] = " [truncated]";
constexpr size_t kSpareChunks = 8;

// One entry's line while it is formatted, on the caller's stack: most fit
// the inline part, long texts spill to the heap. No thread_local: the main
// thread's are destroyed at exit before static destructors run, and those may
// still log.
class LineBuffer {
public:
    LineBuffer() = default;
    LineBuffer(const LineBuffer&) = delete;
    LineBuffer& operator=(const LineBuffer&) = delete;

    void append(const char* p, size_t n) {
        if (size_ + n > capacity_) grow(size_ + n);
        memcpy(data_ + size_, p, n);
        size_ += n;
    }
    void append(const char* text) { append(text, strlen(text)); }
    void push_back(char c) { append(&c, 1); }
    char* data() { return data_; }
    size_t size() const { return size_; }

private:
    void grow(size_t needed) {
        size_t capacity = capacity_ * 2;
        while (capacity < needed) capacity *= 2;
        std::unique_ptr<char[]> bigger(new char[capacity]);
        memcpy(bigger.get(), data_, size_);
        heap_ = std::move(bigger);
        data_ = heap_.get();
        capacity_ = capacity;
    }

    char inline_[512];
    std::unique_ptr<char[]> heap_;
    char* data_ = inline_;
    size_t size_ = 0;
    size_t capacity_ = sizeof inline_;
};

template <typename Out>
void appendDecimal(Out& out, uint32_t value) {
    char digits[10];
    size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    while (n) out.push_back(digits[--n]);
}

// "YYYY-MM-DD HH:MM:SS.mmm" in local time. The calendar part is formatted
// once per second and thread (the cache is trivially destructible, so it
// outlives nothing it needs); the clock read is a vDSO call, no system call.
void appendTimestamp(LineBuffer& out) {
    struct Cache {
        time_t second;
        size_t length;
        char text[32];
    };
    thread_local Cache cache = {-1, 0, {}};
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_sec != cache.second) {
        struct tm local;
        localtime_r(&now.tv_sec, &local);
        cache.length = strftime(cache.text, sizeof cache.text, "%Y-%m-%d %H:%M:%S", &local);
        cache.second = now.tv_sec;
    }
    out.append(cache.text, cache.length);
    const unsigned ms = static_cast<unsigned>(now.tv_nsec / 1000000);
    const char fraction[4] = {'.', static_cast<char>('0' + ms / 100), static_cast<char>('0' + ms / 10 % 10),
                              static_cast<char>('0' + ms % 10)};
    out.append(fraction, sizeof fraction);
}

// The text on one line: line breaks become spaces.
void appendText(LineBuffer& out, const char* text) {
    const size_t length = strnlen(text, kMaxTextBytes + 1);
    const size_t kept = length > kMaxTextBytes ? kMaxTextBytes : length;
    const size_t start = out.size();
    out.append(text, kept);
    char* p = out.data();
    for (size_t i = start; i < out.size(); ++i)
        if (p[i] == '\n' || p[i] == '\r') p[i] = ' ';
    if (length > kept) out.append(kTruncated);
}

bool validFileName(const char* name) {
    return name && *name && !strchr(name, '/') && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

std::string logDirectory() {
    const char* dir = getenv("HUL_DIAG_DIR");
    return dir && *dir ? dir : ".";
}

// Log files are the user's own (0600); HUL_DIAG_MODE=0640 lets the group
// read them too. Read at each file's opening, like HUL_DIAG_DIR.
mode_t logFileMode() {
    const char* mode = getenv("HUL_DIAG_MODE");
    return mode && (strcmp(mode, "0640") == 0 || strcmp(mode, "640") == 0) ? 0640 : 0600;
}

// Opens path for appending with exactly the given mode, whatever the umask
// took from it. A file left by an earlier run with looser bits is narrowed,
// since new entries would otherwise reach whoever could read the old ones;
// one that cannot be given the mode (another user's) is refused. The name is
// never followed as a symbolic link: the log directory may be shared.
int openLogFile(const std::string& path, mode_t mode) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) < 0 || (S_ISREG(st.st_mode) && (st.st_mode & 07777) != mode && fchmod(fd, mode) < 0)) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace

struct DiagLog::LogFile {
    std::string path;
    UniqueFd fd;
    std::string active;  // entries not yet handed to the flusher
    Chunks full;         // filled chunks, oldest first
    size_t queuedBytes = 0;
    bool dirty = false;  // has unwritten entries; counted in dirtyFiles_
    size_t modules = 0;
    bool retired = false;  // a former default log: dropped once written out
};

bool DiagLog::useDefaultFile() {
    // The default log lives in the current log directory, so it follows a
    // change of HUL_DIAG_DIR; the previous one is closed once written out.
    const std::string path = logDirectory() + "/" + kDefaultFileName;
    if (defaultFile_ && defaultFile_->path == path) return true;
    bool opened = false;
    std::shared_ptr<LogFile> file = openFile(kDefaultFileName, &opened);
    if (!opened) return false;
    if (defaultFile_ && defaultFile_->modules == 0) {
        defaultFile_->retired = true;
        dropIfDone(defaultFile_);
    }
    defaultFile_ = std::move(file);
    return true;
}

void DiagLog::dropIfDone(const std::shared_ptr<LogFile>& file) {
    if (file->retired && file->modules == 0 && !file->dirty && file->full.empty() && file->active.empty() &&
        file != defaultFile_)
        files_.erase(file->path);
}

DiagLog& DiagLog::instance() {
    // Never destroyed: tasks may still log while the process runs its exit
    // handlers and static destructors, and the flusher thread runs until the
    // process ends. flushAtExit() writes what is buffered at exit instead.
    static DiagLog* const log = new DiagLog;
    return *log;
}

DiagLog::DiagLog() {
    try {
        std::thread(&DiagLog::flusherMain, this).detach();
    } catch (const std::system_error&) {
        writeThrough_ = true;  // no thread to rely on: every entry goes out at once
    }
    atexit([] { DiagLog::instance().flushAtExit(); });
}

std::shared_ptr<DiagLog::LogFile> DiagLog::openFile(const std::string& fileName, bool* opened) {
    const std::string dir = logDirectory();
    const std::string path = dir + "/" + fileName;
    auto it = files_.find(path);
    if (it != files_.end()) {
        *opened = true;
        return it->second;
    }
    const mode_t mode = logFileMode();
    int fd = openLogFile(path, mode);
    // A missing directory is made for the same readers as its files.
    if (fd < 0 && errno == ENOENT && mkdir(dir.c_str(), mode | (mode & 0444) >> 2) == 0) fd = openLogFile(path, mode);
    *opened = fd >= 0;
    if (fd < 0) return nullptr;
    auto file = std::make_shared<LogFile>();
    file->path = path;
    file->fd.reset(fd);
    file->active.reserve(kChunkBytes);
    files_.emplace(path, file);
    return file;
}

HUL_DIAG_RESULT DiagLog::registerModule(const char* agent, const char* component, const char* module,
                                        const char* fileName, HUL_DIAG_HANDLE* handle) {
    if (!agent || !component || !module || !*module || !validFileName(fileName) || !handle)
        return HUL_DIAG_ERR_INVALID_ARG;
    std::lock_guard<std::mutex> lock(mutex_);
    bool opened = false;
    std::shared_ptr<LogFile> file = openFile(fileName, &opened);
    if (!opened) return HUL_DIAG_ERR_IO;
    do {
        ++lastHandle_;
    } while (lastHandle_ == 0 || modules_.count(lastHandle_));
    ++file->modules;
    std::string name(module);
    for (char& c : name)
        if (c == '\n' || c == '\r') c = ' ';  // every entry stays on one line
    modules_.emplace(lastHandle_, Module{std::move(name), std::move(file)});
    *handle = lastHandle_;
    return 0;
}

HUL_DIAG_RESULT DiagLog::addEntry(HUL_DIAG_HANDLE handle, uint8_t kind, uint16_t severity, uint32_t id,
                                  const char* text) {
    if (!text || !*text) return HUL_DIAG_ERR_INVALID_ARG;

    // Everything but the module's name is formatted before taking the lock.
    LineBuffer line;
    appendTimestamp(line);
    line.append(" sev=");
    appendDecimal(line, severity);
    line.append(" kind=");
    appendDecimal(line, kind);
    line.append(" id=");
    appendDecimal(line, id);
    line.push_back(' ');
    const size_t nameAt = line.size();
    line.append(": ");
    appendText(line, text);
    line.push_back('\n');

    std::unique_lock<std::mutex> lock(mutex_);
    LogFile* file = nullptr;
    const std::string* moduleName = nullptr;
    std::string unknownName;
    HUL_DIAG_RESULT rc = 0;
    for (;;) {
        auto it = modules_.find(handle);
        if (it != modules_.end()) {
            file = it->second.file.get();
            moduleName = &it->second.name;
        } else {
            if (!useDefaultFile()) return HUL_DIAG_ERR_IO;
            file = defaultFile_.get();
            if (handle == 0) {
                unknownName = "default";
            } else {
                unknownName = "handle#";
                appendDecimal(unknownName, handle);
                rc = HUL_DIAG_ERR_BAD_HANDLE;
            }
            moduleName = &unknownName;
        }
        if (writeThrough_ || file->queuedBytes < kMaxQueuedBytes) break;
        // The wait lets go of the lock, so the module may be gone after it.
        roomMade_.wait(lock);
    }

    const size_t before = file->active.size();
    file->active.append(line.data(), nameAt);
    file->active.append(*moduleName);
    file->active.append(line.data() + nameAt, line.size() - nameAt);
    file->queuedBytes += file->active.size() - before;
    if (!file->dirty) {
        file->dirty = true;
        if (dirtyFiles_++ == 0) flusherWake_.notify_one();
    }
    if (file->active.size() >= kChunkBytes) {
        file->full.push_back(std::move(file->active));
        if (!spare_.empty()) {
            file->active = std::move(spare_.back());
            spare_.pop_back();
        } else {
            file->active = std::string();
            file->active.reserve(kChunkBytes);
        }
        ++fullChunks_;
        flusherWake_.notify_one();
    }
    if (writeThrough_) {
        std::shared_ptr<LogFile> keep = files_.at(file->path);
        lock.unlock();
        flushFile(keep);
    }
    return rc;
}

HUL_DIAG_RESULT DiagLog::deregisterModule(HUL_DIAG_HANDLE handle) {
    std::lock_guard<std::mutex> io(io_);
    std::shared_ptr<LogFile> file;
    Chunks chunks;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = modules_.find(handle);
        if (it == modules_.end()) return HUL_DIAG_ERR_BAD_HANDLE;
        file = std::move(it->second.file);
        modules_.erase(it);
        chunks = takeChunks(*file);
        if (--file->modules == 0 && file != defaultFile_) files_.erase(file->path);
    }
    writeChunks(*file, chunks);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        recycle(chunks);
    }
    roomMade_.notify_all();
    return 0;  // the file closes with the last reference to it
}

DiagLog::Chunks DiagLog::takeChunks(LogFile& file) {
    Chunks chunks = std::move(file.full);
    file.full.clear();
    fullChunks_ -= chunks.size();
    if (!file.active.empty()) {
        chunks.push_back(std::move(file.active));
        file.active = std::string();
        if (!spare_.empty()) {
            file.active = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    file.queuedBytes = 0;
    if (file.dirty) {
        file.dirty = false;
        --dirtyFiles_;
    }
    return chunks;
}

void DiagLog::writeChunks(LogFile& file, Chunks& chunks) {
    for (const std::string& chunk : chunks) {
        const char* p = chunk.data();
        size_t left = chunk.size();
        while (left > 0) {
            const ssize_t n = write(file.fd.get(), p, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // a full or failing disk: nothing better to do with the entries
            p += n;
            left -= static_cast<size_t>(n);
        }
    }
}

void DiagLog::recycle(Chunks& chunks) {
    for (std::string& chunk : chunks) {
        if (spare_.size() >= kSpareChunks || chunk.capacity() < kChunkBytes) break;
        chunk.clear();
        spare_.push_back(std::move(chunk));
    }
    chunks.clear();
}

void DiagLog::flushFile(const std::shared_ptr<LogFile>& file) {
    std::lock_guard<std::mutex> io(io_);
    Chunks chunks;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        chunks = takeChunks(*file);
    }
    writeChunks(*file, chunks);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        recycle(chunks);
    }
    roomMade_.notify_all();
}

void DiagLog::flushAll() {
    std::lock_guard<std::mutex> io(io_);
    std::vector<std::pair<std::shared_ptr<LogFile>, Chunks>> work;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& entry : files_) {
            LogFile& file = *entry.second;
            if (file.dirty || !file.full.empty() || !file.active.empty())
                work.emplace_back(entry.second, takeChunks(file));
        }
    }
    for (auto& job : work) writeChunks(*job.first, job.second);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& job : work) {
            recycle(job.second);
            dropIfDone(job.first);
        }
    }
    roomMade_.notify_all();
}

void DiagLog::flusherMain() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // Idle without a time-out: a quiet log costs no wake-ups.
        flusherWake_.wait(lock, [this] { return dirtyFiles_ > 0 || fullChunks_ > 0; });
        // Let entries gather for a while unless a chunk is ready to go.
        if (fullChunks_ == 0) flusherWake_.wait_for(lock, kFlushDelay, [this] { return fullChunks_ > 0; });
        lock.unlock();
        flushAll();
        lock.lock();
    }
}

void DiagLog::flushAtExit() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        writeThrough_ = true;
    }
    roomMade_.notify_all();
    flushAll();
}

}  // namespace hul::diag
