#pragma once
// File-name masks of the directory walker: "*" any run of bytes, "?" one byte,
// ";" separates masks, letters compared without case. The matcher is
// deliberately simple (it never backtracks); callers rely on its exact answers.
#include <string_view>

bool MatchesMasks(std::string_view name, std::string_view masks);
