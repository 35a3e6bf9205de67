#include "store/FaultInjection.h"

namespace fsys::fault {
namespace detail {
std::atomic<bool> g_on{false};
} // namespace detail

namespace {

std::atomic<uint64_t> g_counts[kCallKinds + 1];
std::atomic<uint64_t> g_total{0};
std::atomic<bool> g_armed{false};
std::atomic<bool> g_fired{false};
std::atomic<Observer> g_observer{nullptr};
Plan g_plan;

void Update() { detail::g_on.store(g_armed.load() || g_observer.load() != nullptr); }

} // namespace

const char *Name(Call call) {
  static const char *const names[kCallKinds + 1] = {"open", "write",  "sync",  "rename",
                                                    "link", "unlink", "mkdir", "list"};
  return names[static_cast<int>(call)];
}

void Arm(const Plan &plan) {
  g_plan = plan;
  for (auto &c : g_counts)
    c.store(0);
  g_total.store(0);
  g_fired.store(false);
  g_armed.store(true);
  Update();
}

void Disarm() {
  g_armed.store(false);
  Update();
}

uint64_t Count(Call call) { return g_counts[static_cast<int>(call)].load(); }

bool Fired() { return g_fired.load(); }

void SetObserver(Observer observer) {
  g_observer.store(observer);
  Update();
}

int detail::Hit(Call call) {
  const uint64_t n = ++g_counts[static_cast<int>(call)];
  if (call != Call::List) {
    const uint64_t total = ++g_total;
    if (Observer observer = g_observer.load())
      observer(call, total);
  }
  if (!g_armed.load() || call != g_plan.call || g_plan.nth == 0)
    return 0;
  if (n == g_plan.nth || (g_plan.persistent && n > g_plan.nth)) {
    g_fired.store(true);
    return g_plan.error;
  }
  return 0;
}

} // namespace fsys::fault
