#include "app/directory_panel.h"

#include <QApplication>
#include <QDir>
#include <QPainter>

#include "app/panel_layout.h"
#include "app/toolkit/twips.h"
#include "browse/album_tree.h"
#include "browse/fit.h"
#include "browse/folder_read.h"
#include "browse/preview.h"
#include "common/twips.h"

namespace vistrel::app {
using browse::FitBox;
using browse::FitElement;
using browse::PreviewPlacement;
using common::twipsPerPixel;
using toolkit::twipsRect;

namespace {

QImage toQImage(const imaging::Picture& p) {
  if (p.empty()) {
    return {};
  }
  return QImage(p.bgr.data(), p.width, p.height, p.stride, QImage::Format_BGR888).copy();
}

}  // namespace

PreviewImage::PreviewImage(QWidget* parent) : QWidget(parent) {}

void PreviewImage::setPicture(const QImage& picture, QSize naturalSize) {
  picture_ = picture;
  natural_ = naturalSize;
  update();
}

void PreviewImage::setTwipsGeometry(const QRectF& twips) {
  twips_ = twips;
  setGeometry(twipsRect(twips.left(), twips.top(), twips.width(), twips.height()));
}

void PreviewImage::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) {
    return;
  }
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), picture_);
}

DirectoryPanel::DirectoryPanel(const std::filesystem::path& startFolder, QWidget* parent)
    : QWidget(parent) {
  Label1[1] =
      label(this, QStringLiteral("Select Drive and Directory containing the desired images"), 0, 0,
            6375, 225, Qt::AlignHCenter);
  Label1[1]->setFont(fontAt(font(), 8.25, true));
  Label1[1]->setBackColor(titleBarColor(this));
  Label1[1]->setTextColor(titleTextColor(this));
  Label1[1]->setAlignment(Qt::AlignCenter);

  Drive1 = new toolkit::DriveList(this);
  place(Drive1, 0, 240, 3135, 315);
  Dir1 = new toolkit::DirList(this);
  place(Dir1, 0, 600, 3135, 1665);
  File1 = new toolkit::FileList(this);
  place(File1, 3240, 240, 3135, 2040);

  picContainer = new QWidget(this);
  place(picContainer, 0, 2400, 3135, 2175);
  imgPreview = new PreviewImage(picContainer);
  imgPreview->setTwipsGeometry(QRectF(120, 240, 735, 495));

  chkPreview = new QCheckBox(QStringLiteral("Preview"), this);
  place(chkPreview, 3240, 2400, 975, 255);
  chkPreview->setChecked(true);
  Label1[0] = label(this, QStringLiteral("Total images"), 4920, 2400, 975, 255);
  Label1[0]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lblTotalImages = label(this, QString(), 5880, 2400, 495, 255);
  lblTotalImages->setBoxed(true);
  lblTotalImages->setAlignment(Qt::AlignCenter);
  Label1[2] = label(this,
                    QStringLiteral("To view a Preview of the selected image, place a check in the "
                                   "Preview CheckBox."),
                    3720, 3120, 2415, 615, Qt::AlignHCenter);
  Label1[2]->setTextColor(titleBarColor(this));
  lblImageAttributes = label(this, QString(), 3240, 4320, 3135, 255);
  lblImageAttributes->setWordWrap(false);
  addOrderChoice();

  // The handlers come after the first folder is shown: opening it is not a user's change.
  showFirstFolder(startFolder);
  connect(Drive1, &toolkit::DriveList::Change, this, &DirectoryPanel::Drive1_Change);
  connect(Dir1, &toolkit::DirList::Change, this, &DirectoryPanel::Dir1_Change);
  connect(File1, &toolkit::FileList::Click, this, &DirectoryPanel::File1_Click);
  connect(chkPreview, &QCheckBox::toggled, this, &DirectoryPanel::chkPreview_Click);
}

void DirectoryPanel::showFirstFolder(const std::filesystem::path& startFolder) {
  // A start folder that cannot be read (removed, no permission) falls back, so the window
  // always opens on a folder whose lists agree.
  for (const std::filesystem::path& folder :
       {startFolder, fsPath(QDir::homePath()), std::filesystem::path("/")}) {
    if (!folder.empty() && Dir1->setPath(folder) && File1->setPath(Dir1->folder())) {
      break;
    }
  }
  Drive1->showDriveOf(Dir1->Path());
  driveFolders_.insert(Drive1->Drive(), Dir1->folder());
}

std::vector<std::string> DirectoryPanel::pictureNames() const {
  std::vector<std::string> names;
  for (int i = 0; i < File1->ListCount(); ++i) {
    names.push_back(File1->nameBytes(i));
  }
  return names;
}

void DirectoryPanel::addOrderChoice() {
  // The room between the preview's check box and its hint; the list keeps name order.
  toolkit::Label* caption = label(this, QStringLiteral("S&ort by"), 3240, 2790, 735, 255);
  caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  cmbOrder = new QComboBox(this);
  cmbOrder->addItems({QStringLiteral("Name"), QStringLiteral("Date taken"),
                      QStringLiteral("Date taken, newest first")});
  cmbOrder->setToolTip(
      QStringLiteral("The order of the pictures on the pages. The date is when a picture was "
                     "taken, else its file's time."));
  place(cmbOrder, 3975, 2760, 2400, 315);
  caption->setBuddy(cmbOrder);
}

browse::PictureOrder DirectoryPanel::order() const {
  static constexpr browse::PictureOrder orders[] = {
      browse::PictureOrder::Name, browse::PictureOrder::Date, browse::PictureOrder::DateDescending};
  const int index = cmbOrder->currentIndex();
  return index >= 0 && index < 3 ? orders[index] : browse::PictureOrder::Name;
}

void DirectoryPanel::showTotal() {
  if (albums_) {
    treeCount_ = browse::readAlbumTree(File1->folder(), File1->types()).pictureCount();
  }
  lblTotalImages->setCaption(QString::number(totalCount()));
}

void DirectoryPanel::setAlbums(bool on) {
  albums_ = on;
  showTotal();
  emit listChanged(totalCount());
}

void DirectoryPanel::selectPicture(int row) {
  File1->setCurrentRow(row);
}

bool DirectoryPanel::openFolder(const std::filesystem::path& folder) {
  // Dir1_Change goes back when the file list cannot be read, so the path tells what happened.
  return Dir1->setPath(folder) && Dir1->folder() == browse::normalFolder(folder);
}

void DirectoryPanel::setPictureTypes(imaging::PictureTypes types) {
  File1->setTypes(types);
  if (File1->setPath(File1->folder())) {
    showTotal();
    blankPreview();
    emit listChanged(File1->ListCount());
  }
}

void DirectoryPanel::Drive1_Change() {
  const QString drive = Drive1->Drive();
  const std::filesystem::path root = fsPath(drive);
  const auto remembered = driveFolders_.find(drive);
  // A remembered folder that has gone since falls back to the drive's root.
  if ((remembered == driveFolders_.end() || !openFolder(remembered.value())) && !openFolder(root)) {
    // The drive cannot be read: stay on the folder and drive shown before.
    Drive1->showDriveOf(Dir1->Path());
    QApplication::beep();
    return;
  }
  blankPreview();
}

void DirectoryPanel::Dir1_Change() {
  if (!File1->setPath(Dir1->folder())) {
    Dir1->revert();
    QApplication::beep();
    return;
  }
  showTotal();
  blankPreview();
  emit listChanged(totalCount());
  // Opening a folder on another volume moves the drive list with it.
  Drive1->showDriveOf(Dir1->Path());
  driveFolders_.insert(Drive1->Drive(), Dir1->folder());
}

void DirectoryPanel::blankPreview() {
  imgPreview->setPicture(QImage(), QSize());
  lblImageAttributes->setCaption(QString());
}

void DirectoryPanel::File1_Click() {
  if (chkPreview->isChecked() && File1->ListCount() > 0) {
    showSelectedPicture();
  }
}

void DirectoryPanel::chkPreview_Click() {
  if (chkPreview->isChecked()) {
    if (File1->ListCount() > 0 && File1->ListIndex() >= 0) {
      showSelectedPicture();
    }
  } else {
    blankPreview();
  }
}

void DirectoryPanel::showSelectedPicture() {
  const browse::PreviewPicture loaded = browse::loadPreview(
      Dir1->folder(), File1->nameBytes(File1->ListIndex()), picContainer->width(),
      picContainer->height(), gifBackground(this), File1->types());
  if (!loaded.ok) {
    // Nothing half-shown, and the line says why instead of staying blank.
    blankPreview();
    lblImageAttributes->setCaption(QStringLiteral("Cannot be shown: ") +
                                   toolkit::displayName(loaded.error.reason));
    lblImageAttributes->setToolTip(lblImageAttributes->Caption());
    return;
  }
  lblImageAttributes->setToolTip(QString());
  imgPreview->setPicture(toQImage(loaded.picture), QSize(loaded.width, loaded.height));
  ShowPreview();
  lblImageAttributes->setCaption(QString::fromStdString(
      browse::attributeLine(static_cast<long long>(loaded.fileSize), loaded.width, loaded.height)));
}

void DirectoryPanel::ShowPreview() {
  imgPreview->hide();
  const auto tpp = static_cast<float>(twipsPerPixel());
  const QSize picture = imgPreview->naturalSize();
  const FitBox box{static_cast<float>(picContainer->width()) * tpp,
                   static_cast<float>(picContainer->height()) * tpp};
  const FitElement element{static_cast<float>(picture.width()) * tpp,
                           static_cast<float>(picture.height()) * tpp};
  const PreviewPlacement placement = fitPreview(box, element);
  imgPreview->setTwipsGeometry(
      QRectF(placement.left, placement.top, placement.size.X, placement.size.Y));
  emit previewFitted(placement.size.X, placement.size.Y);
  imgPreview->show();
}

}  // namespace vistrel::app
