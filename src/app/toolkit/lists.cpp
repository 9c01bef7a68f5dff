#include "app/toolkit/lists.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>
#include <algorithm>

#include "browse/folder_read.h"
#include "common/utf8.h"

namespace vistrel::toolkit {

namespace {

namespace fs = std::filesystem;

fs::path fsPath(const QString& path) {
  return fs::path(path.toStdString());
}

// Reads `folder`, passing on why it could not be read.
browse::FolderContents readListing(const fs::path& folder, QString* reason,
                                   imaging::PictureTypes types = imaging::PictureTypes::JpegGif) {
  browse::FolderContents contents = browse::readFolder(folder, types);
  if (!contents.ok && reason != nullptr) {
    *reason = displayName(contents.reason);
  }
  return contents;
}

QByteArray bytesOf(const fs::path& path) {
  return QByteArray::fromStdString(path.native());
}

fs::path pathOf(const QVariant& data) {
  return fs::path(data.toByteArray().toStdString());
}

QStringList mountedRoots() {
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    // Mounted single files (containers bind some) are not drives.
    if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir()) {
      roots.push_back(volume.rootPath());
    }
  }
  return roots;
}

}  // namespace

QString displayName(std::string_view bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = common::utf8SequenceLength(bytes.substr(i));
    if (n > 0) {
      out += QString::fromUtf8(bytes.data() + i, static_cast<qsizetype>(n));
      i += n;
      continue;
    }
    // Latin-1, except its control codes, which show as the replacement mark.
    const auto byte = static_cast<unsigned char>(bytes[i++]);
    out += byte >= 0xA0 ? QChar(byte) : QChar(QChar::ReplacementCharacter);
  }
  return out;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent), source_(mountedRoots) {
  setEditable(false);
  refresh();
  connect(this, &QComboBox::activated, this, [this](int index) {
    if (index != last_) {
      last_ = index;
      emit Change();
    }
  });
}

void DriveList::refresh() {
  QStringList roots = source_();
  // The chosen drive stays while its folder is shown, even when it is no longer listed.
  const QString chosen = Drive();
  if (!chosen.isEmpty() && !roots.contains(chosen)) {
    roots.push_back(chosen);
  }
  listDrives(roots);
}

void DriveList::setDrives(QStringList roots) {
  setDriveSource([roots] { return roots; });
  listDrives(roots);
}

void DriveList::setDriveSource(std::function<QStringList()> source) {
  source_ = std::move(source);
}

void DriveList::showPopup() {
  refresh();
  QComboBox::showPopup();
}

void DriveList::listDrives(QStringList roots) {
  const QString chosen = Drive();
  roots.removeDuplicates();
  std::sort(roots.begin(), roots.end());
  QSignalBlocker block(this);
  clear();
  for (const QString& root : roots) {
    const QString name = QStorageInfo(root).name();
    addItem(name.isEmpty() ? root : root + QStringLiteral("  [") + name + QStringLiteral("]"),
            root);
  }
  last_ = findData(chosen);
  setCurrentIndex(last_);
}

QString DriveList::Drive() const {
  return currentIndex() < 0 ? QString() : currentData().toString();
}

void DriveList::showDriveOf(const QString& path) {
  // The deepest listed root that holds the path: a volume mounted inside another one wins.
  int index = -1;
  qsizetype longest = -1;
  for (int i = 0; i < count(); ++i) {
    const QString root = itemData(i).toString();
    const QString withSlash = root.endsWith('/') ? root : root + '/';
    if ((path == root || path.startsWith(withSlash)) && root.size() > longest) {
      index = i;
      longest = root.size();
    }
  }
  QSignalBlocker block(this);
  if (index < 0) {
    const QString root = QStorageInfo(path).rootPath();
    if (!root.isEmpty()) {
      addItem(root, root);
      index = count() - 1;
    }
  }
  setCurrentIndex(index);
  last_ = index;
}

DirList::DirList(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setIndentation(10);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
  // Double click or Enter opens; a single click only moves the highlight.
  connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) {
    // Opening rebuilds the items, so it waits until the view has finished with this one.
    const fs::path path = pathOf(item->data(0, Qt::UserRole));
    QTimer::singleShot(0, this, [this, path] { open(path); });
  });
}

bool DirList::setPath(const QString& path, QString* reason) {
  return setPath(fsPath(path), reason);
}

bool DirList::setPath(const fs::path& path, QString* reason) {
  const fs::path target = browse::normalFolder(path);
  const browse::FolderContents contents = readListing(target, reason);
  if (!contents.ok) {
    return false;
  }
  const bool changed = target != path_;
  if (changed) {
    previousPath_ = path_;
    previousSubfolders_ = subfolders_;
  }
  show(target, contents.subfolders);
  if (changed) {
    emit Change();
  }
  return true;
}

void DirList::revert() {
  show(previousPath_, previousSubfolders_);
}

QStringList DirList::entries() const {
  QStringList list;
  for (QTreeWidgetItemIterator it(const_cast<DirList*>(this)); *it != nullptr; ++it) {
    list.push_back(displayName(pathOf((*it)->data(0, Qt::UserRole)).native()));
  }
  return list;
}

void DirList::show(const fs::path& path, const std::vector<std::string>& subfolders) {
  path_ = path;
  subfolders_ = subfolders;
  clear();
  const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
  QTreeWidgetItem* parent = nullptr;
  for (const auto& folder : browse::folderChain(path)) {
    const std::string name = folder.has_filename() ? folder.filename().native() : folder.native();
    auto* item = parent == nullptr ? new QTreeWidgetItem(this) : new QTreeWidgetItem(parent);
    item->setText(0, displayName(name));
    item->setIcon(0, openIcon);
    item->setData(0, Qt::UserRole, bytesOf(folder));
    parent = item;
  }
  if (parent == nullptr) {
    return;
  }
  for (const std::string& name : subfolders) {
    auto* item = new QTreeWidgetItem(parent);
    item->setText(0, displayName(name));
    item->setIcon(0, closedIcon);
    item->setData(0, Qt::UserRole, bytesOf(path / name));
  }
  expandAll();
  setCurrentItem(parent);
  scrollToItem(parent);
}

void DirList::drawBranches(QPainter*, const QRect&, const QModelIndex&) const {
  // Every shown level is open and cannot be closed: no expand arrows.
}

void DirList::open(const fs::path& path) {
  if (!setPath(path)) {
    QApplication::beep();
  }
}

FileList::FileList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  connect(this, &QListWidget::itemSelectionChanged, this, [this] {
    if (!loading_ && ListIndex() >= 0) {
      emit Click();
    }
  });
}

bool FileList::setPath(const QString& path, QString* reason) {
  return setPath(fsPath(path), reason);
}

bool FileList::setPath(const fs::path& path, QString* reason) {
  const fs::path target = browse::normalFolder(path);
  const browse::FolderContents contents = readListing(target, reason, types_);
  if (!contents.ok) {
    return false;
  }
  loading_ = true;
  path_ = target;
  notPictures_ = contents.notPictures;
  clear();
  for (const std::string& name : contents.pictures) {
    auto* item = new QListWidgetItem(displayName(name), this);
    item->setData(Qt::UserRole, QByteArray::fromStdString(name));
  }
  setCurrentRow(-1);
  clearSelection();
  loading_ = false;
  return true;
}

QString FileList::List(int i) const {
  const QListWidgetItem* it = item(i);
  return it != nullptr ? it->text() : QString();
}

std::string FileList::nameBytes(int i) const {
  const QListWidgetItem* it = item(i);
  return it != nullptr ? it->data(Qt::UserRole).toByteArray().toStdString() : std::string();
}

int FileList::ListIndex() const {
  const auto selected = selectedItems();
  return selected.isEmpty() ? -1 : row(selected.front());
}

QString FileList::FileName() const {
  const int i = ListIndex();
  return i < 0 ? QString() : List(i);
}

}  // namespace vistrel::toolkit
