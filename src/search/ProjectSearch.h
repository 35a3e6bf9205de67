#pragma once
// Search over the texts of a loaded project, with the matching rule of the
// memo's search (TMemoJump::SearchText: case-sensitive CP932 bytes, a hit
// starts and ends at a character boundary) and the memo's positions (byte
// offsets with every line break counted as CR LF). The texts are in memory
// in the core tree, so a project-wide search never loads an item into the
// memo to look at it: only the item where the search stops is shown.
#include "store/TextLines.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TProjectNode;
class TProjectTree;

namespace search {

constexpr size_t npos = std::string_view::npos;

// The first hit of `key` in `text` as the memo would find it with the caret
// at the start (forward), or the last with the caret at the end (backward);
// npos for none. An empty key is never found.
size_t FindInText(const TTextLines &text, std::string_view key, bool forward);

// The node after (`forward`) or before `node` in whole-tree order (first
// child, else next sibling, else the next sibling of the nearest ancestor
// that has one); null past either end.
const TProjectNode *Step(const TProjectNode *node, bool forward);
// The last node in whole-tree order.
const TProjectNode *LastNode(const TProjectTree &tree);

struct THit {
  const TProjectNode *node = nullptr; // null: not found
  size_t position = npos;             // in the memo's positions
};

// Walks from the item after (before) `from` in whole-tree order and returns
// the first item whose text holds `key`, with the hit as FindInText gives it.
// With `wrap` the walk goes on from the other end of the tree up to and
// including `from` itself; without it, it ends at the last (first) item.
THit FindInTree(const TProjectTree &tree, const TProjectNode *from, std::string_view key,
                bool forward, bool wrap);

// Every hit of `key` in `text`, one after another from the start (each
// search going on after the previous hit's end), as memo positions; at most
// `limit` of them.
std::vector<size_t> AllHits(const TTextLines &text, std::string_view key, size_t limit = npos);

} // namespace search
