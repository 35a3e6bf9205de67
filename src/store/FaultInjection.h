#pragma once
// A switch in the file-system gateway that makes its k-th call of one kind
// fail, so that tests can prove every write survives an I/O error or a full
// disk at any step. Off, it costs one relaxed load per call; nothing in the
// program turns it on.
#include <atomic>
#include <cstdint>

namespace fsys::fault {

// The gateway's calls that change or flush something on disk, plus opens;
// then the reads of a folder's entries, which change nothing: the sweeps and
// the observer (of the kill tests) leave them out.
enum class Call : int { Open, Write, Sync, Rename, Link, Unlink, Mkdir, List };
constexpr int kCallKinds = 7; // up to List
const char *Name(Call call);

struct Plan {
  Call call = Call::Write;
  // The call of that kind that fails, counting from 1; 0 fails none (the
  // calls are only counted).
  uint64_t nth = 0;
  int error = 5;           // EIO
  bool persistent = false; // every later call of the kind fails too
};

// Arms the switch and resets the counts. Not for use while another thread
// runs gateway calls.
void Arm(const Plan &plan);
void Disarm();
// Calls of `call` seen since Arm.
uint64_t Count(Call call);
// The planned failure was given at least once.
bool Fired();

// Told of every counted call before it is made, with the running total over
// all kinds (a kill test stops the process at the n-th one). Counting runs
// while an observer is set, armed or not.
using Observer = void (*)(Call call, uint64_t total);
void SetObserver(Observer observer);

namespace detail {
extern std::atomic<bool> g_on;
int Hit(Call call);
} // namespace detail

// The switch is armed or an observer counts: calls must come in one order.
inline bool Active() { return detail::g_on.load(std::memory_order_relaxed); }

// The errno to fail this call with, or 0 to make it.
inline int Check(Call call) {
  return detail::g_on.load(std::memory_order_relaxed) ? detail::Hit(call) : 0;
}

} // namespace fsys::fault
