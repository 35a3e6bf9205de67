#include "search/ProjectSearch.h"

#include "engine/MemoJump.h"
#include "store/ProjectTree.h"

namespace search {

namespace {

// The item text keeps its lines joined by '\n'; the memo counts CR LF. A key
// whose line breaks are all CR LF matches the joined text with '\n' for them
// exactly where it matches the memo's text (neither CR nor LF can be a trail
// byte, so the character walk is the same). A key with a lone CR or LF needs
// the memo's own form.
bool NeedsMemoForm(std::string_view key) {
  for (size_t i = 0; i < key.size(); ++i) {
    if (key[i] == '\r' && (i + 1 == key.size() || key[i + 1] != '\n'))
      return true;
    if (key[i] == '\n' && (i == 0 || key[i - 1] != '\r'))
      return true;
  }
  return false;
}

std::string JoinedForm(std::string_view key) {
  std::string k;
  k.reserve(key.size());
  for (size_t i = 0; i < key.size(); ++i)
    if (!(key[i] == '\r' && i + 1 < key.size() && key[i + 1] == '\n'))
      k += key[i];
  return k;
}

std::string MemoForm(const TTextLines &text) {
  std::string s;
  s.reserve(text.Joined().size() + text.size());
  for (char c : text.Joined()) {
    if (c == '\n')
      s += '\r';
    s += c;
  }
  return s;
}

// Hits one after another from the start, in `haystack` itself. A hit ends
// at a character boundary, so the next search walks on from there: looking
// back to the line start each time would make a long line with many hits
// cost the square of its length.
template <class F> void Successive(std::string_view haystack, std::string_view key, F &&each) {
  for (size_t from = 0;;) {
    const size_t p = TMemoJump::FindFrom(haystack, key, from, from, haystack.size());
    if (p == npos || !each(p))
      return;
    from = p + key.size();
  }
}

// The hits of `key` in `text`, in the form the search runs on, mapped to
// memo positions; `each` returns false to stop.
template <class F> void Hits(const TTextLines &text, std::string_view key, F &&each) {
  if (key.empty())
    return;
  if (NeedsMemoForm(key)) {
    const std::string memo = MemoForm(text);
    Successive(memo, key, each);
    return;
  }
  const std::string k = JoinedForm(key);
  const std::string &joined = text.Joined();
  // Line breaks before the hit counted incrementally: the walk goes forward.
  size_t counted = 0, breaks = 0;
  Successive(joined, k, [&](size_t p) {
    for (; counted < p; ++counted)
      breaks += joined[counted] == '\n';
    return each(p + breaks);
  });
}

} // namespace

size_t FindInText(const TTextLines &text, std::string_view key, bool forward) {
  size_t found = npos;
  Hits(text, key, [&](size_t p) {
    found = p;
    return !forward; // forward: the first; backward: the last
  });
  return found;
}

std::vector<size_t> AllHits(const TTextLines &text, std::string_view key, size_t limit) {
  std::vector<size_t> all;
  if (limit == 0)
    return all;
  Hits(text, key, [&](size_t p) {
    all.push_back(p);
    return all.size() < limit;
  });
  return all;
}

const TProjectNode *Step(const TProjectNode *node, bool forward) {
  if (!node)
    return nullptr;
  return forward ? node->GetNext() : node->GetPrev();
}

const TProjectNode *LastNode(const TProjectTree &tree) {
  const TProjectNode *n = tree.TopCount() ? tree.TopItem(tree.TopCount() - 1) : nullptr;
  while (n && n->HasChildren())
    n = n->GetLastChild();
  return n;
}

THit FindInTree(const TProjectTree &tree, const TProjectNode *from, std::string_view key,
                bool forward, bool wrap) {
  THit hit;
  if (key.empty() || !from)
    return hit;
  const TProjectNode *n = Step(from, forward);
  bool wrapped = false;
  for (;;) {
    if (!n) {
      if (!wrap || wrapped)
        return hit;
      wrapped = true;
      n = forward ? tree.GetFirstNode() : LastNode(tree);
      if (!n)
        return hit;
    }
    const size_t p = FindInText(n->Data()->Files.Body, key, forward);
    if (p != npos) {
      hit.node = n;
      hit.position = p;
      return hit;
    }
    if (wrapped && n == from)
      return hit; // round once: nowhere
    n = Step(n, forward);
  }
}

} // namespace search
