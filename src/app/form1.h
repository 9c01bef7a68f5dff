#pragma once
// The main window: the Directory, Properties and About panels under their three buttons, the
// working notice and progress bar, and Exit. Its controls are the settings store: every command
// reads a setting from its control when it needs it. Control and handler names follow the
// window's original design (cmdFrames, Frame1, Label1(12), scrTable_Change, ...).

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHash>
#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>

#include "app/shell.h"
#include "app/toolkit/controls.h"
#include "app/toolkit/lists.h"
#include "app/window_progress.h"

namespace vistrel::app {

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

// The wording the window uses for its maker (never a real site).
inline constexpr const char* kMakerName = "Ormandel";
inline constexpr const char* kMakerAddress = "http://www.ormandel.example/";

class Form1 : public QWidget {
  Q_OBJECT
 public:
  // Opens on `startFolder` (or, when it cannot be read, the home folder, then the root). `shell`
  // opens pages and addresses; it must outlive the window. Without one the desktop's is used.
  explicit Form1(const QString& startFolder, Shell* shell = nullptr, QWidget* parent = nullptr);
  // The same, for a start folder whose name need not be valid UTF-8.
  explicit Form1(const std::filesystem::path& startFolder, Shell* shell = nullptr,
                 QWidget* parent = nullptr);
  ~Form1() override;

  // How the report of skipped pictures and unwritten pages reaches the user: by default one
  // warning box (makeMessageBox) with `details` behind its details button when not empty; tests
  // record the texts instead.
  using MessageBox =
      std::function<void(const QString& title, const QString& text, const QString& details)>;
  void setMessageBox(MessageBox box) { messageBox_ = std::move(box); }
  void showMessage(const QString& title, const QString& text) {
    messageBox_(title, text, QString());
  }
  // The warning box the window shows, not yet shown; it fits on the screen of `parent`.
  static std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const QString& title,
                                                     const QString& text, const QString& details);

  // Window-level state.
  // Pictures of the gallery, taken when Properties opens on a new folder. Not 16 bits: a folder
  // may list more than 32767 pictures.
  int ImageCount = 0;
  QString LastPath;  // the folder ImageCount was last taken for
  int16_t X = 0;     // the last preview fit, in the preview area's twips
  int16_t Y = 0;

  // Controls on the window itself.
  std::array<QPushButton*, 3> cmdFrames{};
  std::array<QWidget*, 3> Frame1{};
  std::array<toolkit::Label*, 20> Label1{};  // indices as designed; unused ones stay null
  std::array<toolkit::Label*, 18> Label2{};
  QPushButton* cmdExit = nullptr;
  QFrame* picProgress = nullptr;
  QWidget* lblProgress = nullptr;

  // Directory panel.
  toolkit::DriveList* Drive1 = nullptr;
  toolkit::DirList* Dir1 = nullptr;
  toolkit::FileList* File1 = nullptr;
  QWidget* picContainer = nullptr;
  PreviewImage* imgPreview = nullptr;
  QCheckBox* chkPreview = nullptr;
  toolkit::Label* lblTotalImages = nullptr;
  toolkit::Label* lblImageAttributes = nullptr;

  // Properties panel.
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

  // About panel.
  toolkit::Label* lblLink = nullptr;  // lblLink(1)

  // The panel shown: 0 Directory, 1 Properties, 2 About.
  int shownPanel() const { return shownPanel_; }
  common::ProgressDisplay& progress() { return *progress_; }

  // Event handlers, named after the control and the event.
  void Form_Load();
  void cmdFrames_Click(int Index);
  static void EnableControls(bool bEnabled, std::initializer_list<QWidget*> cControls);
  void cmdExit_Click();
  void lblLink_MouseUp();
  void ShellDef(const QString& file_name);
  void Drive1_Change();
  void Dir1_Change();
  void File1_Click();
  void chkPreview_Click();
  void ShowPreview();
  void scrThumbnail_Change(int Index);
  void txtThumbnail_LostFocus(int Index);
  void txtPrefix_LostFocus();
  void scrTable_Change(int Index);
  void txtTable_LostFocus(int Index);
  void cmdCreate_Click();

  // Opens `folder` as if the user had opened it in the folder list; false, with nothing changed,
  // when it cannot be read.
  bool openFolder(const QString& folder);
  bool openFolder(const std::filesystem::path& folder);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Runs the check of the text box that has the focus, as leaving it would.
  void checkFocusedBox();
  void buildWindow();
  void buildDirectoryPanel(QWidget* panel);
  void buildPropertiesPanel(QWidget* panel);
  void buildAboutPanel(QWidget* panel);
  void connectEvents();
  void showFirstFolder(const std::filesystem::path& startFolder);
  void blankPreview();
  void showSelectedPicture();
  void refreshPageCount();
  run::CreateSettings createSettings() const;

  Shell* shell_;
  std::unique_ptr<Shell> ownShell_;
  std::unique_ptr<WindowProgress> progress_;
  MessageBox messageBox_;
  QString lastPrefix_;
  QHash<QString, std::filesystem::path> driveFolders_;  // the folder last open on each drive
  std::filesystem::path lastFolder_;                    // LastPath's bytes
  int shownPanel_ = 0;
};

}  // namespace vistrel::app
