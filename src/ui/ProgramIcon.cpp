#include "ui/ProgramIcon.h"

#include <QString>

// The resource lives in a static library: nothing would pull its object file
// into the executable without this call.
static void InitProgramIconResource() { Q_INIT_RESOURCE(program_icon); }

namespace ui {

QIcon ProgramIcon() {
  InitProgramIconResource();
  QIcon icon;
  for (int size : {16, 22, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/orvane-%1.png").arg(size), QSize(size, size));
  return icon;
}

} // namespace ui
