#pragma once
// Scope guards for the hooks tests set in the core: whatever way a test
// leaves its scope (a failed assertion returns early), the hook is undone
// and the next test starts from the real thing.
#include "store/DateTime.h"
#include "store/ProjectTree.h"

#include <functional>
#include <utility>

namespace support {

// "Now" comes from `source` (or is one fixed moment) while the guard lives;
// afterwards the system clock again. Guards do not nest.
class ScopedClock {
public:
  explicit ScopedClock(std::function<TDateTime()> source) { clock_::SetSource(std::move(source)); }
  explicit ScopedClock(const TDateTime &at) : ScopedClock([at] { return at; }) {}
  ~ScopedClock() { clock_::SetSource(nullptr); }
  ScopedClock(const ScopedClock &) = delete;
  ScopedClock &operator=(const ScopedClock &) = delete;
};

// Every tree-file save is told its steps while the guard lives.
class ScopedSaveStepHook {
public:
  explicit ScopedSaveStepHook(TProjectTree::SaveStepHook hook) {
    TProjectTree::SetSaveStepHookForTest(std::move(hook));
  }
  ~ScopedSaveStepHook() { TProjectTree::SetSaveStepHookForTest(nullptr); }
  ScopedSaveStepHook(const ScopedSaveStepHook &) = delete;
  ScopedSaveStepHook &operator=(const ScopedSaveStepHook &) = delete;
};

} // namespace support
