// Project-wide search over the texts in memory, checked against the memo
// search it stands in for: each item's text put into a memo and searched
// with TMemoJump from its start (forward) or its end (backward).
#include "search/ProjectSearch.h"
#include "engine/MemoJump.h"
#include "store/ProjectTree.h"
#include "support/TextMemo.h"
#include "support/TreeOutline.h"

#include <gtest/gtest.h>

#include <random>

namespace {

std::string MemoText(const TTextLines &lines) {
  std::string s;
  bool first = true;
  for (std::string_view l : lines) {
    if (!first)
      s += "\r\n";
    s += l;
    first = false;
  }
  return s;
}

// What the editor's literal walk finds in one item.
size_t MemoSearch(const TTextLines &text, const std::string &key, bool forward) {
  TTextMemo memo(MemoText(text));
  TMemoJump jump;
  jump.SetObjectifyMemo(&memo);
  jump.MatchCase = true;
  if (!forward)
    jump.SetCaret(memo.TextLength());
  if (!jump.SearchText(key, forward))
    return search::npos;
  return static_cast<size_t>(jump.GetSelStart());
}

// The literal walk over the tree: item after item, wrapping once when asked.
search::THit LiteralWalk(const TProjectTree &tree, const TProjectNode *from, const std::string &key,
                         bool forward, bool wrap) {
  search::THit hit;
  if (key.empty())
    return hit;
  const TProjectNode *n = search::Step(from, forward);
  bool wrapped = false;
  for (int guard = 0; guard < 100000; ++guard) {
    if (!n) {
      if (!wrap || wrapped)
        return hit;
      wrapped = true;
      n = forward ? tree.GetFirstNode() : search::LastNode(tree);
    }
    const size_t p = MemoSearch(n->Data()->Files.Body, key, forward);
    if (p != search::npos)
      return {n, p};
    if (wrapped && n == from)
      return hit;
    n = search::Step(n, forward);
  }
  return hit;
}

} // namespace

TEST(ProjectSearch, TextHitsFollowTheMemoRule) {
  const std::string hyou = "\x95\x5C"; // "表": its trail byte is '\'
  struct Case {
    const char *name;
    TTextLines text;
    std::string key;
  } cases[] = {
      {"plain", {"abc abc", "abc"}, "abc"},
      {"across a line break", {"one", "two"}, "one\r\ntwo"},
      {"lone line end in the key", {"one", "two"}, "one\r"},
      {"trail byte never starts a hit", {hyou + "X", "\\X"}, "\\X"},
      {"overlapping occurrences", {"aaaa"}, "aa"},
      {"nothing", {"abc"}, "zzz"},
      {"empty key", {"abc"}, ""},
      {"case matters", {"ABC"}, "abc"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    for (bool forward : {true, false})
      EXPECT_EQ(search::FindInText(c.text, c.key, forward), MemoSearch(c.text, c.key, forward))
          << forward;
  }
  EXPECT_EQ(search::AllHits({"abab", "ab"}, "ab"), (std::vector<size_t>{0, 2, 6}));
  EXPECT_EQ(search::AllHits({"abab", "ab"}, "ab", 1), (std::vector<size_t>{0}));
}

TEST(ProjectSearch, TheTreeWalkEqualsTheLiteralWalkOnGeneratedProjects) {
  std::mt19937 rng(7);
  const std::string words[] = {"alpha", "beta", "\x8c\x9f\x93\xa2", "x\x95\x5C", "gamma"};
  for (int round = 0; round < 20; ++round) {
    TProjectTree tree;
    outline::Build(tree, "R(A(A1 A2(A21)) B C(C1 C2) D)", [&](TProjectNode *node) {
      TTextLines body;
      const int lines = static_cast<int>(rng() % 4);
      for (int l = 0; l < lines; ++l) {
        std::string line;
        for (int w = static_cast<int>(rng() % 4); w > 0; --w)
          line += words[rng() % std::size(words)] + " ";
        body.push_back(line);
      }
      node->Data()->Files.Body = body;
    });
    std::vector<const TProjectNode *> nodes;
    for (const TProjectNode *n = tree.GetFirstNode(); n; n = n->GetNext())
      nodes.push_back(n);
    for (const std::string &key : {std::string("alpha"), std::string("\\"), std::string("beta "),
                                   std::string("\x95\x5C"), std::string("zzz")})
      for (const TProjectNode *from : nodes)
        for (bool forward : {true, false})
          for (bool wrap : {false, true}) {
            const search::THit a = search::FindInTree(tree, from, key, forward, wrap);
            const search::THit b = LiteralWalk(tree, from, key, forward, wrap);
            ASSERT_EQ(a.node, b.node) << key << forward << wrap;
            ASSERT_EQ(a.position, b.position);
          }
  }
}
