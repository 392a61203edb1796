// Work split over the machine's cores: the parsers' passes over separate parts of the data. For
// the encoder's own files only.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace yazcore::detail {

// The number of threads to use when `asked` is 0: as many as the machine runs at once, up to 8.
inline unsigned thread_count(unsigned asked) {
  if (asked != 0) return asked;
  return std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
}

// Calls work(i) for every i below `count`, each on a thread of its own but the first, which runs
// on the calling thread (as do, after it, any for which no thread could be made); returns when
// all are done. An exception thrown by any of them is thrown
// again here (the first one's, by index).
template <class Work>
void run_parallel(std::size_t count, Work work) {
  std::vector<std::exception_ptr> failed(count);
  auto guarded = [&](std::size_t i) {
    try {
      work(i);
    } catch (...) {
      failed[i] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(count);
  std::size_t spawned = 1;
  try {
    for (; spawned < count; ++spawned) threads.emplace_back(guarded, spawned);
  } catch (const std::system_error&) {
    // No more threads to be had: the rest of the work is done here, after the first.
  }
  if (count > 0) guarded(0);
  for (std::size_t i = spawned; i < count; ++i) guarded(i);
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& e : failed) {
    if (e) std::rethrow_exception(e);
  }
}

// What the threads of one piece of work tell each other: state changed under one lock, and every
// waiting thread woken after a change.
class Board {
 public:
  // Makes `change` under the lock, then wakes the waiters.
  template <class Change>
  void tell(Change change) {
    {
      const std::lock_guard lock(mutex_);
      change();
    }
    changed_.notify_all();
  }
  // Waits until `ready` holds, then returns what `then` makes of the state, still under the lock.
  template <class Ready, class Then>
  auto when(Ready ready, Then then) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, ready);
    return then();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
};

}  // namespace yazcore::detail
