/* Coverage builds only (cmake/Coverage.cmake). gcov writes a process's counts
 * at its normal exit, which a SIGKILL skips.
 *
 * In a program (ZEP_COVERAGE_PROGRAM): a thread waits for SIGUSR2, then writes
 * the counts of the program and of every instrumented library that registered
 * with it, and ends the process with SIGKILL, so that to everyone else it ends
 * as a killed one does: no goodbye, no exit handlers.
 *
 * In a library: registers its own gcov dump with the program, if the program
 * is one of ours (it exports zep_coverage_add_library); each library has its
 * own copy of gcov's run-time, which the program's dump does not reach. */
#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <stddef.h>
#include <unistd.h>

void __gcov_dump(void);

typedef void (*DumpFunction)(void);

#ifdef ZEP_COVERAGE_PROGRAM

enum { kMaxLibraries = 16 };
static DumpFunction libraries[kMaxLibraries];
static int libraryCount;
static pthread_mutex_t librariesLock = PTHREAD_MUTEX_INITIALIZER;

__attribute__((visibility("default"))) void zep_coverage_add_library(DumpFunction dump) {
    pthread_mutex_lock(&librariesLock);
    if (libraryCount < kMaxLibraries) libraries[libraryCount++] = dump;
    pthread_mutex_unlock(&librariesLock);
}

static void* dumpOnSignal(void* unused) {
    (void)unused;
    sigset_t wanted;
    sigemptyset(&wanted);
    sigaddset(&wanted, SIGUSR2);
    int number = 0;
    while (sigwait(&wanted, &number) != 0) {
    }
    __gcov_dump();
    pthread_mutex_lock(&librariesLock);
    for (int i = 0; i < libraryCount; ++i) libraries[i]();
    pthread_mutex_unlock(&librariesLock);
    kill(getpid(), SIGKILL);
    return NULL;
}

/* Before main: SIGUSR2 blocked in the main thread, so in every thread made
 * after it; the waiting thread starts with every signal blocked, so that the
 * program's own signal handling (sigwait on SIGTERM in one thread) stays as
 * it is. */
__attribute__((constructor)) static void startDumpThread(void) {
    sigset_t all, previous, withDump;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    pthread_t thread;
    if (pthread_create(&thread, NULL, dumpOnSignal, NULL) == 0) pthread_detach(thread);
    withDump = previous;
    sigaddset(&withDump, SIGUSR2);
    pthread_sigmask(SIG_SETMASK, &withDump, NULL);
}

#else

__attribute__((constructor)) static void registerWithProgram(void) {
    void* add = dlsym(RTLD_DEFAULT, "zep_coverage_add_library");
    if (add) ((void (*)(DumpFunction))add)(__gcov_dump);
}

#endif
