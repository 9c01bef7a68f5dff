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

namespace vistrel::toolkit {

namespace {

std::filesystem::path fsPath(const QString& path) {
  return std::filesystem::path(path.toStdString());
}
QString qPath(const std::filesystem::path& path) {
  return QString::fromStdString(path.string());
}

QStringList qNames(const std::vector<std::string>& names) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(names.size()));
  for (const auto& n : names) {
    list.push_back(QString::fromStdString(n));
  }
  return list;
}

QString normal(const QString& path) {
  return qPath(browse::normalFolder(fsPath(path)));
}

// Reads `folder`, passing on why it could not be read.
browse::FolderContents readListing(const QString& folder, QString* reason) {
  browse::FolderContents contents = browse::readFolder(fsPath(folder));
  if (!contents.ok && reason != nullptr) {
    *reason = QString::fromStdString(contents.reason);
  }
  return contents;
}

}  // namespace

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
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
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    // Mounted single files (containers bind some) are not drives.
    if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir()) {
      roots.push_back(volume.rootPath());
    }
  }
  setDrives(roots);
}

void DriveList::setDrives(QStringList roots) {
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
    const QString path = item->data(0, Qt::UserRole).toString();
    QTimer::singleShot(0, this, [this, path] { open(path); });
  });
}

bool DirList::setPath(const QString& path, QString* reason) {
  const QString target = normal(path);
  const browse::FolderContents contents = readListing(target, reason);
  if (!contents.ok) {
    return false;
  }
  const bool changed = target != path_;
  if (changed) {
    previousPath_ = path_;
    previousSubfolders_ = subfolders_;
  }
  show(target, qNames(contents.subfolders));
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
    list.push_back((*it)->data(0, Qt::UserRole).toString());
  }
  return list;
}

void DirList::show(const QString& path, const QStringList& subfolders) {
  path_ = path;
  subfolders_ = subfolders;
  clear();
  const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
  QTreeWidgetItem* parent = nullptr;
  for (const auto& folder : browse::folderChain(fsPath(path))) {
    const QString full = qPath(folder);
    const QString name = folder.has_filename() ? qPath(folder.filename()) : full;
    auto* item = parent == nullptr ? new QTreeWidgetItem(this) : new QTreeWidgetItem(parent);
    item->setText(0, name);
    item->setIcon(0, openIcon);
    item->setData(0, Qt::UserRole, full);
    parent = item;
  }
  if (parent == nullptr) {
    return;
  }
  const QString base = path.endsWith('/') ? path : path + '/';
  for (const QString& name : subfolders) {
    auto* item = new QTreeWidgetItem(parent);
    item->setText(0, name);
    item->setIcon(0, closedIcon);
    item->setData(0, Qt::UserRole, base + name);
  }
  expandAll();
  setCurrentItem(parent);
  scrollToItem(parent);
}

void DirList::drawBranches(QPainter*, const QRect&, const QModelIndex&) const {
  // Every shown level is open and cannot be closed: no expand arrows.
}

void DirList::open(const QString& path) {
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
  const QString target = normal(path);
  const browse::FolderContents contents = readListing(target, reason);
  if (!contents.ok) {
    return false;
  }
  loading_ = true;
  path_ = target;
  clear();
  addItems(qNames(contents.pictures));
  setCurrentRow(-1);
  clearSelection();
  loading_ = false;
  return true;
}

QString FileList::List(int i) const {
  const QListWidgetItem* it = item(i);
  return it != nullptr ? it->text() : QString();
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
