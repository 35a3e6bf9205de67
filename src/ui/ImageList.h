#pragma once
// The editor's image list: tool-bar, menu and tree icons drawn by the program
// itself (so they scale and need no image files), addressed by the numbers the
// commands use, and the "DRAGADD" drag cursor.
#include <QCursor>
#include <QIcon>

namespace images {

enum Index {
  MoveDown = 1,
  MoveUp = 2,
  Sink = 3,
  Lift = 4,
  NewItem = 5,
  NewSubItem = 6,
  Rename = 7,
  Delete = 8,
  ToDoOff = 10,
  ToDoOn = 11, // also the tree icon of a ToDo item
  CompletionOff = 12,
  CompletionOn = 13, // also the tree icon of a completed item
  Page = 15,         // the tree icon of a plain item
  Save = 19,
  Undo = 20,
};

// The icon of image `index`; an unknown index gives an empty icon.
QIcon Icon(int index);

// The tree icon of an item from its marks: ToDo wins over Completion.
inline int ItemImage(bool toDo, bool completion) {
  return toDo ? ToDoOn : completion ? CompletionOn : Page;
}

// An arrow with a small page and a boxed plus sign, hot spot at the arrow tip.
QCursor DragAddCursor();

} // namespace images
