// The outline notation the tests build and compare trees with.
#include "support/TreeOutline.h"

#include <gtest/gtest.h>
#include <stdexcept>

TEST(TreeOutline, BuildsWhatItPrints) {
  for (const char *text : {"R", "R(A B C)", "R(A+(A1 A2-) B*(X+(Y)) C-)", "R- S(T)"}) {
    TProjectTree tree;
    outline::Build(tree, text);
    EXPECT_EQ(outline::PrintWithSelection(tree), text);
  }
}

TEST(TreeOutline, StatesIDsAndMarks) {
  TProjectTree tree;
  std::string order;
  outline::Build(tree, "R(A+(A1) B-*)", [&](TProjectNode *n) { order += n->Text() + " "; });
  EXPECT_EQ(order, "R A A1 B ");
  TProjectNode *r = tree.RootNode();
  TProjectNode *a = r->Item(0), *b = r->Item(1);
  EXPECT_TRUE(r->Expanded());
  EXPECT_FALSE(a->Expanded());
  EXPECT_FALSE(a->Item(0)->Expanded());
  EXPECT_TRUE(b->Expanded());
  EXPECT_EQ(tree.Selected(), b);
  EXPECT_EQ(r->Data()->ID, "Root");
  EXPECT_EQ(a->Data()->ID, "Root-C00000");
  EXPECT_EQ(a->Item(0)->Data()->ID, "Root-C00001");
  EXPECT_EQ(b->Data()->ID, "Root-C00002");
  auto missing = [](const TProjectNode *n) { return n->Text() == "A1" ? "!" : ""; };
  EXPECT_EQ(outline::PrintWithSelection(tree, missing), "R(A+(A1!) B-*)");
  EXPECT_EQ(outline::Print(tree, missing), "R(A+(A1!) B-)");
}

TEST(TreeOutline, MalformedOutlinesAreRefused) {
  for (const char *text : {"", "R(", "R(A", "R()", "R(A))", "R( A)", "R+", "R-(A)", "R(A) )"}) {
    TProjectTree tree;
    EXPECT_THROW(outline::Build(tree, text), std::invalid_argument) << text;
  }
}
