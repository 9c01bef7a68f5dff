#pragma once
// The Directory panel: drive, folder and file lists, the picture count, and the chosen picture's
// attribute line and preview.

#include <QCheckBox>
#include <QComboBox>
#include <QHash>
#include <QImage>
#include <QWidget>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/toolkit/controls.h"
#include "app/toolkit/lists.h"
#include "browse/picture_order.h"

namespace vistrel::app {

namespace testing {
struct Form1Access;
}

// The preview element: shows its picture stretched to its own size.
class PreviewImage : public QWidget {
  Q_OBJECT
 public:
  explicit PreviewImage(QWidget* parent = nullptr);
  // The picture shown, perhaps decoded smaller than its natural size; null when blank.
  const QImage& Picture() const { return picture_; }
  // The picture's natural size in pixels, which the fit uses.
  QSize naturalSize() const { return natural_; }
  void setPicture(const QImage& picture, QSize naturalSize);
  // Where the element stands in its container's twips (not rounded to pixels).
  QRectF twipsGeometry() const { return twips_; }
  void setTwipsGeometry(const QRectF& twips);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
  QSize natural_;
  QRectF twips_;
};

class DirectoryPanel : public QWidget {
  Q_OBJECT
 public:
  // Opens on `startFolder` or, when it cannot be read, the home folder, then the root.
  DirectoryPanel(const std::filesystem::path& startFolder, QWidget* parent);
  // Opens `folder` as if the user had opened it in the folder list; false, with nothing changed,
  // when it cannot be read.
  bool openFolder(const std::filesystem::path& folder);
  // The folder shown, as the folder list shows it and as bytes.
  QString Path() const { return Dir1->Path(); }
  const std::filesystem::path& folder() const { return Dir1->folder(); }
  // The file list: its folder, how many pictures it lists and their names (bytes, list order).
  const std::filesystem::path& listFolder() const { return File1->folder(); }
  int pictureCount() const { return File1->ListCount(); }
  std::vector<std::string> pictureNames() const;
  const std::vector<std::pair<std::string, std::string>>& notPictures() const {
    return File1->notPictures();
  }
  // The order Create puts the pictures in; the file list stays in name order.
  browse::PictureOrder order() const;
  // Shows the file list's count in the Total images box.
  // Shows the file list's count in the Total images box, or with albums on the tree's.
  void showTotal();
  // Counts the pictures of the whole tree below the folder, not only the file list's.
  void setAlbums(bool on);
  // What the Total images box shows.
  int totalCount() const { return albums_ ? treeCount_ : pictureCount(); }
  // Selects row `row` of the file list, as a click does.
  void selectPicture(int row);
  // Lists the folder's pictures of `types` instead, as if it were opened again.
  void setPictureTypes(imaging::PictureTypes types);

  // Event handlers, named after the control and the event.
  void Drive1_Change();
  void Dir1_Change();
  void File1_Click();
  void chkPreview_Click();
  void ShowPreview();

 signals:
  // The file list was read again (another folder); `count` pictures are listed.
  void listChanged(int count);
  // The preview was fitted to X x Y of the preview area's twips.
  void previewFitted(int16_t X, int16_t Y);

 private:
  friend struct testing::Form1Access;
  void showFirstFolder(const std::filesystem::path& startFolder);
  void blankPreview();
  void addOrderChoice();
  void showSelectedPicture();

  std::array<toolkit::Label*, 3> Label1{};  // Label1(0) to Label1(2) are on this panel
  toolkit::DriveList* Drive1 = nullptr;
  toolkit::DirList* Dir1 = nullptr;
  toolkit::FileList* File1 = nullptr;
  QWidget* picContainer = nullptr;
  PreviewImage* imgPreview = nullptr;
  QCheckBox* chkPreview = nullptr;
  // The pages' order: item 0 by name, 1 by date taken, 2 newest first.
  QComboBox* cmbOrder = nullptr;
  toolkit::Label* lblTotalImages = nullptr;
  toolkit::Label* lblImageAttributes = nullptr;

  QHash<QString, std::filesystem::path> driveFolders_;
  bool albums_ = false;
  int treeCount_ = 0;  // the folder last open on each drive
};

}  // namespace vistrel::app
