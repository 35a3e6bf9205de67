#include "support/TreeOutline.h"

#include <cstdio>
#include <stdexcept>

namespace outline {

namespace {

struct Reader {
  TProjectTree &tree;
  std::string_view text;
  const std::function<void(TProjectNode *)> &onNode;
  size_t at = 0;
  int nextID = 0;
  bool rootGiven = false;

  [[noreturn]] void Fail(const char *what) const {
    throw std::invalid_argument(std::string("outline: ") + what + " at " + std::to_string(at) +
                                " in \"" + std::string(text) + "\"");
  }
  bool More() const { return at < text.size(); }
  char Peek() const { return More() ? text[at] : '\0'; }

  // One node and its subtree.
  void Node(TProjectNode *parent) {
    const size_t end = std::min(text.find_first_of("() ", at), text.size());
    std::string label(text.substr(at, end - at));
    at = end;
    bool collapsed = false, expandedLeaf = false, selected = false;
    while (!label.empty() && std::string_view("+-*").find(label.back()) != std::string_view::npos) {
      (label.back() == '+' ? collapsed : label.back() == '-' ? expandedLeaf : selected) = true;
      label.pop_back();
    }
    if (label.empty())
      Fail("a node without a label");
    auto data = std::make_unique<TNodeData>();
    if (!parent && !rootGiven) {
      data->ID = "Root";
      rootGiven = true;
    } else {
      char id[32];
      std::snprintf(id, sizeof id, "Root-C%05d", nextID++);
      data->ID = id;
    }
    TProjectNode *node = tree.AddChild(parent, label, std::move(data));
    if (onNode)
      onNode(node);
    if (selected)
      tree.SetSelected(node);
    if (Peek() == '(') {
      if (expandedLeaf)
        Fail("'-' on a node with children");
      ++at;
      List(node);
      if (Peek() != ')')
        Fail("a missing ')'");
      ++at;
      tree.SetExpanded(node, !collapsed);
    } else {
      if (collapsed)
        Fail("'+' on a node without children");
      tree.SetExpanded(node, expandedLeaf);
    }
  }

  void List(TProjectNode *parent) {
    Node(parent);
    while (Peek() == ' ') {
      ++at;
      Node(parent);
    }
  }
};

} // namespace

void Build(TProjectTree &tree, std::string_view text,
           const std::function<void(TProjectNode *)> &onNode) {
  Reader r{tree, text, onNode};
  r.rootGiven = tree.TopCount() > 0;
  r.List(nullptr);
  if (r.More())
    r.Fail("text after the last node");
}

static std::string Write(const TProjectTree &tree, bool selection, const Marks &marks) {
  std::string s;
  std::function<void(const TProjectNode *)> put = [&](const TProjectNode *n) {
    s += n->Text();
    if (n->HasChildren() && !n->Expanded())
      s += '+';
    if (!n->HasChildren() && n->Expanded())
      s += '-';
    if (selection && n == tree.Selected())
      s += '*';
    if (marks)
      s += marks(n);
    if (!n->HasChildren())
      return;
    s += '(';
    for (int i = 0; i < n->Count(); ++i) {
      if (i)
        s += ' ';
      put(n->Item(i));
    }
    s += ')';
  };
  for (int i = 0; i < tree.TopCount(); ++i) {
    if (i)
      s += ' ';
    put(tree.TopItem(i));
  }
  return s;
}

std::string Print(const TProjectTree &tree, const Marks &marks) {
  return Write(tree, false, marks);
}

std::string PrintWithSelection(const TProjectTree &tree, const Marks &marks) {
  return Write(tree, true, marks);
}

} // namespace outline
