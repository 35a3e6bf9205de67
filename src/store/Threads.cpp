#include "store/Threads.h"

std::atomic<int> threads::detail::g_startsLeft{-1};
