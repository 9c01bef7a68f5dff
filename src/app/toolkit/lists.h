#pragma once
// The Directory panel's three lists on Qt widgets: the mounted drives, the folder list (the path
// from the root down, then the subfolders) and the file list of pictures. Paths are absolute,
// with '/' as the separator. File and folder names are bytes that need not be valid UTF-8: each
// entry keeps its original bytes next to its shown text, and every file operation uses the
// bytes.

#include <QComboBox>
#include <QListWidget>
#include <QStringList>
#include <QTreeWidget>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "imaging/picture.h"

namespace vistrel::toolkit {

// How a name or path of bytes is shown: valid UTF-8 as it reads, any other byte as the Latin-1
// character of that code (old memory cards and Windows copies wrote names so).
QString displayName(std::string_view bytes);

// The mounted volumes. The shown text starts with the volume's root; Drive() is that root.
class DriveList : public QComboBox {
  Q_OBJECT
 public:
  explicit DriveList(QWidget* parent = nullptr);
  // Reads the drives again, keeping the chosen one. Also done each time the list opens, so a
  // volume mounted after start-up appears.
  void refresh();
  // Lists the given root folders as the drives instead (tests, or a chosen set of places).
  void setDrives(QStringList roots);
  // Where refresh() reads the drives from (by default the mounted volumes).
  void setDriveSource(std::function<QStringList()> source);
  void showPopup() override;
  // The chosen drive's root folder ("/" for the system volume).
  QString Drive() const;
  // Chooses the listed drive that holds `path` (the deepest one), without raising Change.
  void showDriveOf(const QString& path);

 signals:
  // The user chose another drive.
  void Change();

 private:
  void listDrives(QStringList roots);

  int last_ = -1;
  std::function<QStringList()> source_;
};

// The folder list: the folders from the root down to Path(), then Path()'s subfolders, hidden
// ones left out. A single click moves the highlight; a double click or Enter opens the folder.
class DirList : public QTreeWidget {
  Q_OBJECT
 public:
  explicit DirList(QWidget* parent = nullptr);
  // The shown folder as text; folder() is its bytes.
  QString Path() const { return displayName(path_.native()); }
  const std::filesystem::path& folder() const { return path_; }
  // Reads `path` and shows it, raising Change when the path differs from the shown one. When the
  // folder cannot be read nothing changes and false comes back with the reason.
  bool setPath(const std::filesystem::path& path, QString* reason = nullptr);
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
  void show(const std::filesystem::path& path, const std::vector<std::string>& subfolders);
  void open(const std::filesystem::path& path);

  std::filesystem::path path_;
  std::vector<std::string> subfolders_;
  std::filesystem::path previousPath_;
  std::vector<std::string> previousSubfolders_;
};

// The pictures of one folder ("*.jpg;*.gif", letter case ignored, hidden files left out; with
// every type also the other formats' names), sorted ignoring case. Setting the path always reads
// the folder again and leaves nothing selected.
class FileList : public QListWidget {
  Q_OBJECT
 public:
  explicit FileList(QWidget* parent = nullptr);
  static QString Pattern() { return QStringLiteral("*.jpg;*.gif"); }
  QString Path() const { return displayName(path_.native()); }
  const std::filesystem::path& folder() const { return path_; }
  // False, with the reason, when the folder cannot be read; the list then stays as it was.
  bool setPath(const std::filesystem::path& path, QString* reason = nullptr);
  bool setPath(const QString& path, QString* reason = nullptr);
  int ListCount() const { return count(); }
  // Which pictures are listed, from the next setPath on.
  imaging::PictureTypes types() const { return types_; }
  void setTypes(imaging::PictureTypes types) { types_ = types; }
  // Entry `i` as shown.
  QString List(int i) const;
  // Entry `i`'s name as it is on disk.
  std::string nameBytes(int i) const;
  // The selected entry, -1 when none.
  int ListIndex() const;
  // The selected name, "" when none.
  QString FileName() const;
  // The folder's entries named like pictures that are not listed, each with why (bytes, UTF-8).
  const std::vector<std::pair<std::string, std::string>>& notPictures() const {
    return notPictures_;
  }

 signals:
  // The selection moved to an entry, by mouse or keyboard.
  void Click();

 private:
  std::filesystem::path path_;
  std::vector<std::pair<std::string, std::string>> notPictures_;
  bool loading_ = false;
  imaging::PictureTypes types_ = imaging::PictureTypes::JpegGif;
};

}  // namespace vistrel::toolkit
