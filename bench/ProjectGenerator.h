#pragma once
// A project of realistic shape for the benchmarks: about 8 children per node,
// no deeper than 7 levels, item texts of a few hundred bytes to a few KB.
#include "store/FileSystem.h"
#include "store/ProjectTree.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <random>
#include <string>

namespace bench {

inline const std::string kWords[] = {
    "\x83\x41\x83\x43\x83\x66\x83\x41", "idea", "\x8c\x9f\x93\xa2", "note",
    "\x8e\x9f\x82\xcc\x8e\xe8",         "plan", "\x89\xdb\x91\xe8", "memo"};

inline std::string Words(std::mt19937 &rng, int count) {
  std::string s;
  for (int k = 0; k < count; ++k) {
    if (k)
      s += ' ';
    s += kWords[rng() % std::size(kWords)];
  }
  return s;
}

// Builds the tree breadth first, 5 to 11 children per node (8 on average),
// no deeper than 7 levels below the root (six hold too few for 250,000
// items), and writes every item file and MainTree.dat. `textScale` multiplies the lines of each
// text (3: about 1.9 KB an item, 94 MB for 50,000).
inline void Generate(const std::string &dir, int count, int textScale = 1) {
  std::mt19937 rng(static_cast<unsigned>(count));
  TProjectTree tree;
  tree.LoadProject(dir); // an empty directory: sets the project directory
  fsys::BatchWrites batch;
  int made = 0;
  auto make = [&](TProjectNode *parent) {
    auto data = std::make_unique<TNodeData>();
    data->ID = made == 0 ? std::string("Root") : "Root-C" + std::to_string(100000 + made);
    TNodeFiles &f = data->Files;
    f.FilePath = dir + "20261207" + std::to_string(1000000 + made) + "0.txt";
    f.Title = Words(rng, 1 + static_cast<int>(rng() % 3)) + " " + std::to_string(made);
    f.ToDo = rng() % 10 == 0;
    int lines = (4 + static_cast<int>(rng() % 50)) * textScale;
    for (int l = 0; l < lines; ++l)
      f.Body.push_back(Words(rng, static_cast<int>(rng() % 10)));
    if (fsys::Status s = f.Save(); !s) {
      std::fprintf(stderr, "write failed: %s\n", s.Text().c_str());
      std::exit(1);
    }
    ++made;
    std::string title = f.Title;
    return tree.AddChild(parent, title, std::move(data));
  };
  std::deque<TProjectNode *> queue{make(nullptr)};
  TProjectNode *deepest = queue.front();
  while (made < count && !queue.empty()) {
    TProjectNode *p = queue.front();
    queue.pop_front();
    int children = 5 + static_cast<int>(rng() % 7);
    for (int c = 0; c < children && made < count; ++c) {
      TProjectNode *n = make(p);
      deepest = n;
      if (n->Level() < 7)
        queue.push_back(n);
    }
    tree.SetExpanded(p, rng() % 3 == 0);
  }
  tree.SetExpanded(tree.RootNode(), true);
  tree.SetSelected(deepest);
  tree.WindowData.LastIndex = made;
  if (fsys::Status s = tree.SaveProject(); !s) {
    std::fprintf(stderr, "save failed: %s\n", s.Text().c_str());
    std::exit(1);
  }
}

} // namespace bench
