#pragma once
// Every worker thread of the program starts here. A start can fail (a
// process at its limit of threads, no memory): the caller then does the
// work on its own thread. Tests make starts fail as the system would.
#include <atomic>
#include <system_error>
#include <utility>

namespace threads {

namespace detail {
extern std::atomic<int> g_startsLeft; // negative: no limit
}

// Starts `out` (a std::thread or std::jthread) running `work`; false when
// no thread could be had.
template <class Thread, class Work> bool TryStart(Thread &out, Work &&work) {
  try {
    if (detail::g_startsLeft.load(std::memory_order_relaxed) >= 0 &&
        detail::g_startsLeft.fetch_sub(1, std::memory_order_relaxed) <= 0)
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    out = Thread(std::forward<Work>(work));
    return true;
  } catch (const std::system_error &) {
    return false;
  }
}

// For tests: after `starts` more starts every start fails; -1: none does.
inline void LimitStartsForTest(int starts) {
  detail::g_startsLeft.store(starts, std::memory_order_relaxed);
}

} // namespace threads
