#include "editor/WindowSettings.h"

#include "editor/AttachmentCommands.h"
#include "editor/DisplayCommands.h"
#include "editor/EditorParts.h"
#include "editor/VaveDataBase.h"
#include "store/Project.h"

#include <QMainWindow>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>

#include <algorithm>

TWindowSettings::TWindowSettings(TEditorContext &editor, QSplitter &splitter, TItemHeader &header,
                                 TDisplayCommands &display, TAttachmentCommands &attachments)
    : ed_(editor), splitter_(splitter), header_(header), display_(display),
      attachments_(attachments) {}

void TWindowSettings::Apply() {
  const TWindowData &w = ed_.Project().WindowData();
  QMainWindow *window = ed_.Window();
  // A project's first width (a new one's, or that of a tree file without it)
  // shows every tool bar button in the font in use, none behind ">>". It is
  // stored as it was until the user gives the window a width of his own.
  int width = w.Width;
  firstWidth_ = {};
  if (width == TWindowData().Width || width == 615) {
    const QToolBar *bar = window->findChild<QToolBar *>(QStringLiteral("ToolBar1"));
    const int needed =
        bar ? bar->sizeHint().width() + bar->style()->pixelMetric(QStyle::PM_ToolBarHandleExtent)
            : 0;
    if (needed > width) {
      firstWidth_ = {width, needed};
      width = needed;
    }
  }
  window->setGeometry(place_.Apply(QRect(w.Left, w.Top, width, w.Height)));
  splitter_.setSizes({w.TreeWidth, std::max(1, w.Width - w.TreeWidth)});
  display_.ApplyWindowSettings(w);
  for (int i = 0; i < 7; ++i)
    header_.resizeSection(i, w.SectionWidths[i]);
  attachments_.ApplyWindowSettings(w);
}

void TWindowSettings::Settle() { place_.Settle(ed_.Window()->geometry()); }

void TWindowSettings::Collect() {
  TWindowData &w = ed_.Project().WindowData();
  QRect g = place_.Collect(ed_.Window()->geometry());
  w.Top = g.top();
  w.Left = g.left();
  w.Width = g.width() == firstWidth_.shown && firstWidth_.stored ? firstWidth_.stored : g.width();
  w.Height = g.height();
  w.TreeWidth = ed_.Tree()->width();
  display_.CollectWindowSettings(w);
  for (int i = 0; i < 7; ++i)
    w.SectionWidths[i] = header_.sectionSize(i);
  attachments_.CollectWindowSettings(w);
}
