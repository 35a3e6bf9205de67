#pragma once
// What a command group of the catalogue may use of it: the window, the list
// of projects and the open editors, the root folder and the author, messages
// and the commands' actions. The catalogue implements it; a group knows the
// window only through this.
#include "catalogue/CatalogueActions.h"
#include "ui/MessageBox.h"

#include <QString>

#include <optional>
#include <string>

class QMainWindow;
class TOpenEditors;
class TProjectList;

class TCatalogueContext {
public:
  virtual ~TCatalogueContext() = default;

  virtual QMainWindow *Window() = 0;
  virtual TProjectList &List() = 0;
  virtual TOpenEditors &OpenEditors() = 0;
  virtual TCatalogueActions &Actions() = 0;

  // CP932, with a trailing separator once set; empty before the first choice.
  virtual const std::string &RootDir() const = 0;
  virtual void SetRootDir(const std::string &dir) = 0;
  // CP932; handed to every editor opened from here.
  virtual const std::string &Author() const = 0;
  virtual void SetAuthor(const std::string &author) = 0;
  // The catalogue is closing: closed editors are not made current.
  virtual bool Closing() const = 0;

  virtual QString Caption() const = 0;
  // Out of the task bar and in front.
  virtual void ComeForward() = 0;
  // The status bar: the number of rows and the root folder.
  virtual void ShowCount() = 0;
  virtual ui::MsgAnswer ShowMessageBox(const QString &text, ui::MsgIcon icon,
                                       ui::MsgButtons buttons,
                                       std::optional<ui::MsgAnswer> defaultButton = {}) = 0;
  // Every command's enabled state from its rule.
  virtual void updateActionStates() = 0;
};
