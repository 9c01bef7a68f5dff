#pragma once
// The main window's frame: the Directory, Properties and About panels under their three buttons,
// the working notice and progress bar, Exit, and the Create command. The panels' controls are the
// settings store: every command reads a setting from its control when it needs it. Control and
// handler names follow the window's original design (cmdFrames, Frame1, Label1(12), ...).

#include <QFrame>
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

#include "app/about_panel.h"
#include "app/directory_panel.h"
#include "app/properties_panel.h"
#include "app/shell.h"
#include "app/toolkit/controls.h"
#include "app/window_progress.h"

namespace vistrel::app {

namespace testing {
struct Form1Access;
}

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
  // What a Create looks at between files to stop early (QuitOnSignals); none by default. A run
  // that stopped shows no message: the program is ending.
  void setStopRequest(const common::StopRequest* stop) { stop_ = stop; }
  void showMessage(const QString& title, const QString& text) {
    messageBox_(title, text, QString());
  }
  // The warning box the window shows, not yet shown; it fits on the screen of `parent`.
  static std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const QString& title,
                                                     const QString& text, const QString& details);

  // The panel shown: 0 Directory, 1 Properties, 2 About.
  int shownPanel() const { return shownPanel_; }
  common::ProgressDisplay& progress() { return *progress_; }
  // The folder the Directory panel shows, as it shows it.
  QString folderShown() const { return directory_->Path(); }
  // Selects picture `row` of the file list, as a click does.
  void selectPicture(int row) { directory_->selectPicture(row); }

  // Event handlers, named after the control and the event.
  void Form_Load();
  void cmdFrames_Click(int Index);
  static void EnableControls(bool bEnabled, std::initializer_list<QWidget*> cControls);
  void cmdExit_Click();
  void cmdCreate_Click();

  // Opens `folder` as if the user had opened it in the folder list; false, with nothing changed,
  // when it cannot be read.
  bool openFolder(const QString& folder);
  bool openFolder(const std::filesystem::path& folder);

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend struct testing::Form1Access;
  void buildWindow(const std::filesystem::path& startFolder);
  void connectEvents();
  // Properties, About and Create are for a folder that lists pictures.
  void enableForPictures(bool enabled);
  run::CreateSettings createSettings() const;

  std::array<QPushButton*, 3> cmdFrames{};
  std::array<QWidget*, 3> Frame1{};  // the three panels below
  DirectoryPanel* directory_ = nullptr;
  PropertiesPanel* properties_ = nullptr;
  AboutPanel* about_ = nullptr;
  toolkit::Label* Label1_12 = nullptr;  // Label1(12), the working notice
  QPushButton* cmdExit = nullptr;
  QFrame* picProgress = nullptr;
  QWidget* lblProgress = nullptr;

  Shell* shell_;
  std::unique_ptr<Shell> ownShell_;
  std::unique_ptr<WindowProgress> progress_;
  MessageBox messageBox_;
  const common::StopRequest* stop_ = nullptr;
  // The folder the Properties panel's ImageCount was last taken for, as shown, and its bytes.
  QString LastPath_;
  std::filesystem::path lastFolder_;
  // The last fit: after a preview, the preview's size in the preview area's twips; after
  // Create, the last thumbnail's size in pixels.
  int16_t X_ = 0;
  int16_t Y_ = 0;
  int shownPanel_ = 0;
};

}  // namespace vistrel::app
