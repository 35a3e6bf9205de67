#pragma once
// The property window of one project directory: its path, the time of its
// last save, and every file directly in it with its size and, for the item
// files, the item's title, author and dates. The folder and each listed file
// open with the desktop's program. Made once by the catalogue and shown
// modally each time.
//
//   props->ShowProperties(entry->Directory);
#include "store/ProjectProperties.h"

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class TProjectPropertyForm : public QDialog {
  Q_OBJECT
public:
  explicit TProjectPropertyForm(QWidget *parent = nullptr);
  ~TProjectPropertyForm() override;

  // With the trailing separator, once filled.
  const std::string &ProjectDir() const { return properties_.ProjectDir; }
  // The files listed, row by row.
  const std::vector<TPropertyFile> &FileRecords() const { return properties_.Files; }

  // Fills the window for `dir` and shows it modally; a directory without a
  // tree file is refused with a message and no window.
  void ShowProperties(const std::string &dir);
  // The filling alone; false (the window unchanged) when `dir` is no project.
  bool Fill(const std::string &dir);

  // ---- commands ------------------------------------------------------------
  void OpenProjectFolderClick();
  // Opens the file of the selected row; nothing without one.
  void OpenSelectedFile();
  void Image1Click();

  // ---- parts for tests -----------------------------------------------------
  QTreeWidget *FileListView() const { return list_; }
  QLabel *LastUpdateCaption() const { return lastUpdate_; }
  QLabel *DirectoryCaption() const { return directory_; }
  QPushButton *OpenProjectFolder() const { return openFolder_; }
  QPushButton *CloseButton() const { return closeButton_; }
  QLabel *Image1() const { return image_; }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  TProjectProperties properties_;
  QTreeWidget *list_ = nullptr;
  QLabel *lastUpdate_ = nullptr;
  QLabel *directory_ = nullptr;
  QPushButton *openFolder_ = nullptr;
  QPushButton *closeButton_ = nullptr;
  QLabel *image_ = nullptr;
};
