#pragma once
// The program's own icon, for the title bar of every window and the About box.
#include <QIcon>

namespace ui {

// Every size the program's icon is drawn in, from 16 to 256 pixels. Built
// into the executable, so it shows in a build directory as well.
QIcon ProgramIcon();

} // namespace ui
