#pragma once
// The Directory panel's three lists on Qt widgets: the mounted drives, the folder list (the path
// from the root down, then the subfolders) and the file list of pictures. Paths are absolute,
// with '/' as the separator.

#include <QComboBox>
#include <QListWidget>
#include <QStringList>
#include <QTreeWidget>

namespace vistrel::toolkit {

// The mounted volumes. The shown text starts with the volume's root; Drive() is that root.
class DriveList : public QComboBox {
  Q_OBJECT
 public:
  explicit DriveList(QWidget* parent = nullptr);
  // Reads the mounted volumes again, keeping the chosen one when it is still there.
  void refresh();
  // Lists the given root folders as the drives instead (tests, or a chosen set of places).
  void setDrives(QStringList roots);
  // The chosen drive's root folder ("/" for the system volume).
  QString Drive() const;
  // Chooses the listed drive that holds `path` (the deepest one), without raising Change.
  void showDriveOf(const QString& path);

 signals:
  // The user chose another drive.
  void Change();

 private:
  int last_ = -1;
};

// The folder list: the folders from the root down to Path(), then Path()'s subfolders, hidden
// ones left out. A single click moves the highlight; a double click or Enter opens the folder.
class DirList : public QTreeWidget {
  Q_OBJECT
 public:
  explicit DirList(QWidget* parent = nullptr);
  QString Path() const { return path_; }
  // Reads `path` and shows it, raising Change when the path differs from the shown one. When the
  // folder cannot be read nothing changes and false comes back with the reason.
  bool setPath(const QString& path, QString* reason = nullptr);
  // Shows again the folder shown before the last change, without reading it or raising Change.
  void revert();
  // The full path of each shown entry, top to bottom.
  QStringList entries() const;

 signals:
  void Change();

 protected:
  void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;

 private:
  void show(const QString& path, const QStringList& subfolders);
  void open(const QString& path);

  QString path_;
  QStringList subfolders_;
  QString previousPath_;
  QStringList previousSubfolders_;
};

// The pictures of one folder ("*.jpg;*.gif", letter case ignored, hidden files left out), sorted
// ignoring case. Setting the path always reads the folder again and leaves nothing selected.
class FileList : public QListWidget {
  Q_OBJECT
 public:
  explicit FileList(QWidget* parent = nullptr);
  static QString Pattern() { return QStringLiteral("*.jpg;*.gif"); }
  QString Path() const { return path_; }
  // False, with the reason, when the folder cannot be read; the list then stays as it was.
  bool setPath(const QString& path, QString* reason = nullptr);
  int ListCount() const { return count(); }
  QString List(int i) const;
  // The selected entry, -1 when none.
  int ListIndex() const;
  // The selected name, "" when none.
  QString FileName() const;

 signals:
  // The selection moved to an entry, by mouse or keyboard.
  void Click();

 private:
  QString path_;
  bool loading_ = false;
};

}  // namespace vistrel::toolkit
