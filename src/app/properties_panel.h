#pragma once
// The Properties panel: the thumbnail and table settings with their text boxes and spins, the
// picture and page counts, the page style, Open in Browser and the Create button.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>
#include <array>

#include "app/modern_options.h"
#include "app/toolkit/controls.h"
#include "imaging/picture.h"
#include "run/create_run.h"

namespace vistrel::app {

namespace testing {
struct Form1Access;
}

class PropertiesPanel : public QWidget {
  Q_OBJECT
 public:
  explicit PropertiesPanel(QWidget* parent);

  // Pictures of the gallery, taken when the panel opens on a new folder. Not 16 bits: a folder
  // may list more than 32767 pictures.
  int ImageCount() const { return ImageCount_; }
  // Takes `count` as ImageCount and shows it with the page count it gives.
  void setImageCount(int count);
  // Runs the check of the text box that has the focus, as leaving it would.
  void checkFocusedBox();
  // The settings the panel's controls hold, into `s` (sizes, prefix, quality, table, style, the
  // modern options, Open in Browser); the folder and pictures are the caller's.
  void readSettings(run::CreateSettings& s) const;
  void setCreateEnabled(bool enabled);
  // The pictures a folder lists: "JPEG and GIF" or "All supported".
  imaging::PictureTypes pictureTypes() const;

  // Event handlers, named after the control and the event.
  void scrThumbnail_Change(int Index);
  void txtThumbnail_LostFocus(int Index);
  void txtPrefix_LostFocus();
  void scrTable_Change(int Index);
  void txtTable_LostFocus(int Index);
  // Opens the Modern options dialog; OK keeps what it then holds for the next Create.
  void cmdModern_Click();

 signals:
  // The Create button was clicked (or its access key pressed).
  void createClicked();
  // The user chose another list of picture types.
  void typesChanged(imaging::PictureTypes types);
  // Whether the next Create takes the folder's whole tree (modern pages, albums on) changed.
  void albumsChanged(bool on);

 private:
  friend struct testing::Form1Access;
  // The three columns of controls, left to right.
  void buildThumbnailFrame();
  void buildTableFrame();
  void buildCreateColumn();
  void connectEvents();
  void refreshPageCount();

  int ImageCount_ = 0;
  std::array<toolkit::Label*, 20> Label1{};  // the indices of this panel as designed; others null
  QGroupBox* Frame2 = nullptr;
  QGroupBox* Frame3 = nullptr;
  std::array<toolkit::TextBox*, 2> txtThumbnail{};
  std::array<toolkit::SpinControl*, 2> scrThumbnail{};
  QComboBox* cmbQuality = nullptr;
  toolkit::TextBox* txtPrefix = nullptr;
  toolkit::Label* lblNumImages = nullptr;
  toolkit::Label* lblNumPages = nullptr;
  std::array<toolkit::TextBox*, 5> txtTable{};
  std::array<toolkit::SpinControl*, 5> scrTable{};
  QCheckBox* chkHTML = nullptr;
  QPushButton* cmdCreate = nullptr;
  // The page style: item 0 Classic (the table pages), item 1 Modern.
  toolkit::Label* lblStyle = nullptr;
  QComboBox* cmbStyle = nullptr;
  // Beside the style, for the modern style only: its settings, and the dialog while it is open.
  QToolButton* cmdModern = nullptr;
  ModernOptions modern_;
  QPointer<ModernOptionsDialog> dlgModern_;
  // Which pictures are listed: item 0 "JPEG and GIF", item 1 "All supported".
  toolkit::Label* lblTypes = nullptr;
  QComboBox* cmbTypes = nullptr;

  QString lastPrefix_;
};

}  // namespace vistrel::app
