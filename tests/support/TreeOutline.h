#pragma once
// One line that shows a whole TProjectTree, for building trees in tests and
// for comparing them. The same notation is read and written:
//
//   R(A(A1 A2+(X)) B C-)
//
// - A node is its label; its children follow in brackets, separated by one
//   space. Several top-level nodes are separated by a space too.
// - Marks follow the label, before any bracket:
//     '+'  the node has children and is collapsed, as a tree view shows it
//          with a plus box. A node with children and no '+' is expanded.
//     '-'  the node has no children but its expanded flag is set (a view
//          cannot show it, the tree keeps it and saves it).
//     '*'  the node is the tree's selected node (written by
//          PrintWithSelection() only: the selection is the view's business,
//          most tests check it on its own).
//   Print() adds the marks of its `marks` callback after these (e.g. '!' for
//   a missing item); Build() does not read those.
// - Labels must not contain spaces or brackets, nor end in a mark.
#include "store/ProjectTree.h"

#include <functional>
#include <string>
#include <string_view>

namespace outline {

// Builds the nodes of `text` into `tree` (appended at the top level). IDs are
// "Root" for the first top-level node and "Root-C00000", "Root-C00001", ...
// for the others in outline order. `onNode` is called for every new node
// before its children are added (to fill its TNodeData, say). Throws
// std::invalid_argument when `text` is not an outline.
void Build(TProjectTree &tree, std::string_view text,
           const std::function<void(TProjectNode *)> &onNode = {});

using Marks = std::function<std::string(const TProjectNode *)>;

// The tree in the notation above, without the selection; `marks` may add
// marks of its own to each node.
std::string Print(const TProjectTree &tree, const Marks &marks = {});
// The same with '*' after the selected node.
std::string PrintWithSelection(const TProjectTree &tree, const Marks &marks = {});

} // namespace outline
