#pragma once
// The project management window "プロジェクト管理" of the catalogue: the page
// "インポート" reads an exchange file into a new project directory below the
// catalogue's root, the page "著者設定" edits the author name the catalogue
// hands to editors. Made once by the catalogue and shown modally each time.
//
//   if (control->ShowControl(0, rootDir)) list.RefreshProjectList();
//   author = control->EditAuthor(author);
#include <QDialog>

#include <string>

class QLineEdit;
class QPushButton;
class QTabWidget;

class TProjectControlForm : public QDialog {
  Q_OBJECT
public:
  enum Page { ImportPage = 0, AuthorPage = 1 };

  explicit TProjectControlForm(QWidget *parent = nullptr);

  // ---- state (CP932) -------------------------------------------------------
  std::string ImportRoot;    // with a trailing separator; empty: no import possible
  bool ImportResult = false; // outcome of the last import run in this display
  std::string AuthorName;

  // ---- operations ----------------------------------------------------------
  // Page 0 import, 1 author, any other leaves the page; `root` becomes
  // ImportRoot. True when some import of this display wrote files below the
  // root: the last run or an earlier one, complete or stopped part-way; the
  // caller's list must show them either way.
  bool ShowControl(int page, const std::string &root);
  // The author page with `current`; the name typed and run, or `current` when
  // the window was closed without running. The import page stays usable with
  // the ImportRoot the caller set; ImportedInDisplay() tells whether it was.
  std::string EditAuthor(const std::string &current);
  // What ShowControl returns, for the display that ended last.
  bool ImportedInDisplay() const { return imported_; }

  // One import run with the window's fields; tells the user the outcome.
  bool ImportExchangeFile();

  // ---- commands ------------------------------------------------------------
  void StartControlButtonClick();
  void CancelButtonClick();
  void BrowseButtonClick();

  // ---- parts for tests ----------------------------------------------------------
  QTabWidget *Pages() const { return pages_; }
  QLineEdit *ProjectName() const { return projectName_; }
  QLineEdit *ExportFileName() const { return exportFileName_; }
  QLineEdit *AuthorBox() const { return authorBox_; }
  QPushButton *StartControlButton() const { return startButton_; }
  QPushButton *CancelButton() const { return cancelButton_; }
  QPushButton *BrowseButton() const { return browseButton_; }

private:
  void Tell(const QString &text, bool failed);

  QTabWidget *pages_ = nullptr;
  QLineEdit *projectName_ = nullptr;
  QLineEdit *exportFileName_ = nullptr;
  QLineEdit *authorBox_ = nullptr;
  QPushButton *browseButton_ = nullptr;
  QPushButton *startButton_ = nullptr;
  QPushButton *cancelButton_ = nullptr;
  bool imported_ = false; // some import of this display wrote files
};
