#include "common/signals.hpp"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#endif

namespace signals {
namespace {

// The names of the temporary files alive now. Each entry is a heap copy owned by the table; the
// handler only reads and clears entries, it never frees them.
constexpr int kTemporaries = 64;
std::atomic<char*> g_temporaries[kTemporaries];

void remove_temporaries() {
  for (auto& slot : g_temporaries) {
    if (char* name = slot.exchange(nullptr)) {
#ifdef _WIN32
      DeleteFileA(name);
#else
      unlink(name);
#endif
    }
  }
}

void remove_temporaries_at_exit() { remove_temporaries(); }

// Mapped files that may be cut short under the program.
constexpr int kMappings = 8;
struct Mapping {
  std::atomic<int> state{0};  // 0 free, 1 being filled in, 2 watched
  std::atomic<const void*> data{nullptr};
  std::atomic<std::size_t> size{0};
  std::atomic<bool> cut{false};
};
Mapping g_mappings[kMappings];

std::atomic<const void*> g_terminal{nullptr};

// How deep the Holds of this thread are nested.
thread_local int g_hold_depth = 0;

#ifdef _WIN32

// A console event waits here for a Hold to end, and then keeps the lock: the process ends.
SRWLOCK g_hold_lock = SRWLOCK_INIT;

BOOL WINAPI on_console_event(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      AcquireSRWLockExclusive(&g_hold_lock);
      remove_temporaries();
      return FALSE;  // the default handling ends the process
    default: return FALSE;
  }
}

void on_abort(int) { remove_temporaries(); }

#else

// Signals that end the program and may arrive at any moment.
constexpr int kAsynchronous[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGPIPE, SIGALRM,
                                 SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU};
// Signals that a fault raises (and abort()).
constexpr int kFaults[] = {SIGABRT, SIGSEGV, SIGFPE, SIGILL};

long g_page_size = 4096;
struct sigaction g_previous_bus {};

sigset_t asynchronous_set() {
  sigset_t set;
  sigemptyset(&set);
  for (const int sig : kAsynchronous) sigaddset(&set, sig);
  return set;
}

sigset_t g_held_mask;

// A read past the end of a mapped file that was cut short: the rest of the mapping becomes zero
// pages and the mapping is marked. False when the address is in no watched mapping.
bool repair_mapping(const void* address) {
  for (Mapping& m : g_mappings) {
    if (m.state.load() != 2) continue;
    const auto* base = static_cast<const unsigned char*>(m.data.load());
    const std::size_t size = m.size.load();
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    const auto first = reinterpret_cast<std::uintptr_t>(base);
    if (at < first || at - first >= size) continue;
    const auto page = static_cast<std::size_t>(g_page_size);
    const std::size_t offset = (at - first) / page * page;
    const std::size_t length = (size + page - 1) / page * page - offset;
    void* start = const_cast<unsigned char*>(base + offset);
    if (mmap(start, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) ==
        MAP_FAILED) {
      return false;
    }
    m.cut.store(true);
    return true;
  }
  return false;
}

void restore_terminal() {
  if (const void* saved = g_terminal.load()) {
    tcsetattr(STDIN_FILENO, TCSANOW, static_cast<const termios*>(saved));
  }
}

void on_signal(int sig, siginfo_t* info, void* context) {
  const int saved_errno = errno;
  if (sig == SIGBUS && info != nullptr && repair_mapping(info->si_addr)) {
    errno = saved_errno;
    return;  // the read is made again and finds zeros
  }
  remove_temporaries();
  restore_terminal();
  if (sig == SIGBUS) {
    // A handler that was there before (a sanitizer's, say) reports the fault its own way.
    if ((g_previous_bus.sa_flags & SA_SIGINFO) != 0 && g_previous_bus.sa_sigaction != nullptr) {
      g_previous_bus.sa_sigaction(sig, info, context);
      return;
    }
    if ((g_previous_bus.sa_flags & SA_SIGINFO) == 0 && g_previous_bus.sa_handler != SIG_DFL &&
        g_previous_bus.sa_handler != SIG_IGN) {
      g_previous_bus.sa_handler(sig);
      return;
    }
  }
  // End the way the signal would have ended the program without this handler.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, sig);
  raise(sig);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  errno = saved_errno;
}

void handle(int sig, bool only_if_default, struct sigaction* previous) {
  struct sigaction old {};
  if (sigaction(sig, nullptr, &old) != 0) return;
  const bool is_default = (old.sa_flags & SA_SIGINFO) == 0 && old.sa_handler == SIG_DFL;
  if (only_if_default && !is_default) return;
  if (previous != nullptr) *previous = old;
  struct sigaction sa {};
  sa.sa_sigaction = on_signal;
  sa.sa_flags = SA_SIGINFO;
  sa.sa_mask = asynchronous_set();
  sigaction(sig, &sa, nullptr);
}

#endif

}  // namespace

void install() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::atexit(remove_temporaries_at_exit);
#ifdef _WIN32
  SetConsoleCtrlHandler(on_console_event, TRUE);
  std::signal(SIGABRT, on_abort);
#else
  g_page_size = sysconf(_SC_PAGESIZE);
  if (g_page_size <= 0) g_page_size = 4096;
  // A write beyond the file-size limit then fails with an error that the program reports.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, nullptr);
  for (const int sig : kAsynchronous) handle(sig, true, nullptr);
  for (const int sig : kFaults) handle(sig, true, nullptr);
  handle(SIGBUS, false, &g_previous_bus);
#endif
}

int watch_temporary(const std::string& path) {
  for (int i = 0; i < kTemporaries; ++i) {
    if (g_temporaries[i].load() != nullptr) continue;
    char* copy = new char[path.size() + 1];
    std::memcpy(copy, path.c_str(), path.size() + 1);
    char* expected = nullptr;
    if (g_temporaries[i].compare_exchange_strong(expected, copy)) return i;
    delete[] copy;
  }
  return -1;
}

void forget_temporary(int handle) {
  if (handle < 0 || handle >= kTemporaries) return;
  delete[] g_temporaries[handle].exchange(nullptr);
}

Hold::Hold() {
  if (g_hold_depth++ != 0) return;
#ifdef _WIN32
  AcquireSRWLockExclusive(&g_hold_lock);
#else
  const sigset_t set = asynchronous_set();
  sigprocmask(SIG_BLOCK, &set, &g_held_mask);
#endif
}

Hold::~Hold() {
  if (--g_hold_depth != 0) return;
#ifdef _WIN32
  ReleaseSRWLockExclusive(&g_hold_lock);
#else
  sigprocmask(SIG_SETMASK, &g_held_mask, nullptr);
#endif
}

int watch_mapping([[maybe_unused]] const void* data, [[maybe_unused]] std::size_t size) {
#ifdef _WIN32
  // A mapped file cannot be cut short on Windows: the system refuses while it is mapped.
  return -1;
#else
  for (int i = 0; i < kMappings; ++i) {
    int expected = 0;
    if (!g_mappings[i].state.compare_exchange_strong(expected, 1)) continue;
    g_mappings[i].data.store(data);
    g_mappings[i].size.store(size);
    g_mappings[i].cut.store(false);
    g_mappings[i].state.store(2);
    return i;
  }
  return -1;
#endif
}

bool mapping_cut_short(int handle) {
  return handle >= 0 && handle < kMappings && g_mappings[handle].cut.load();
}

void forget_mapping(int handle) {
  if (handle < 0 || handle >= kMappings) return;
  g_mappings[handle].cut.store(false);
  g_mappings[handle].state.store(0);
}

void restore_terminal_on_interrupt(const void* saved_settings) { g_terminal.store(saved_settings); }

}  // namespace signals
