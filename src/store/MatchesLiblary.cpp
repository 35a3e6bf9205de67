#include "store/MatchesLiblary.h"

#include "store/Codec.h"

#include <string>

namespace {

size_t FirstWildcard(std::string_view s) { return s.find_first_of("*?"); }

bool MatchOne(std::string_view m, std::string_view n) {
  for (;;) {
    if (m.empty())
      return n.empty();
    while (!m.empty() && m.front() == '?') {
      m.remove_prefix(1);
      if (!n.empty())
        n.remove_prefix(1);
      if (m.empty() || n.empty())
        break;
    }
    if (m.empty())
      return n.empty();
    size_t w = FirstWildcard(m);
    if (w == std::string_view::npos)
      return n == m;
    if (w > 0) {
      if (n.substr(0, w) != m.substr(0, w))
        return false;
      m.remove_prefix(w);
      n.remove_prefix(w);
      continue;
    }
    // m starts with a wildcard ('*' after the '?' loop above).
    std::string_view t = m.substr(1);
    if (t.empty())
      return true;
    size_t v = FirstWildcard(t);
    if (v != std::string_view::npos)
      t = t.substr(0, v);
    if (t.empty())
      return false;
    size_t at = n.find(t);
    if (at == std::string_view::npos)
      return false;
    n.remove_prefix(at);
    m.remove_prefix(1);
  }
}

} // namespace

bool MatchesMasks(std::string_view name, std::string_view masks) {
  bool result = false;
  std::string rest = cp932::LowerAscii(masks);
  std::string lowered = cp932::LowerAscii(name);
  std::string_view r(rest);
  while (!r.empty()) {
    size_t s = r.find_first_not_of(';');
    if (s == std::string_view::npos)
      break;
    r.remove_prefix(s);
    std::string_view m;
    size_t semi = r.find(';');
    if (semi != std::string_view::npos) {
      m = r.substr(0, semi);
      r.remove_prefix(semi + 1);
    } else {
      m = r;
      r = {};
    }
    if (MatchOne(m, lowered))
      result = true;
  }
  return result;
}
