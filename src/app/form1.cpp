#include "app/form1.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <filesystem>

#include "app/create_message.h"
#include "app/panel_layout.h"
#include "app/toolkit/twips.h"
#include "app/window_icon.h"
#include "browse/folder_read.h"
#include "common/maker.h"
#include "common/version.h"

namespace vistrel::app {
using common::kMakerName;
using common::kVersion;
using run::CreateReport;
using run::CreateSettings;
using thumbs::BatchSettings;
using toolkit::Label;
using toolkit::twipsRect;

namespace {

// The window's client area and the etched box around the panels, in twips.
constexpr int kFormWidth = 6840;
constexpr int kFormHeight = 5985;
constexpr int kBoxLeft = 120, kBoxTop = 600, kBoxRight = 6720, kBoxBottom = 5400;
constexpr float kTrackTwips = 5200;
constexpr float kFillTwips = 15;

const QColor kFillColor(0x00, 0x00, 0xC0);

}  // namespace

Form1::Form1(const QString& startFolder, Shell* shell, QWidget* parent)
    : Form1(fsPath(startFolder), shell, parent) {}

Form1::Form1(const std::filesystem::path& startFolder, Shell* shell, QWidget* parent)
    : QWidget(parent), shell_(shell) {
  if (shell_ == nullptr) {
    ownShell_ = std::make_unique<Shell>();
    shell_ = ownShell_.get();
  }
  messageBox_ = [this](const QString& title, const QString& text, const QString& details) {
    makeMessageBox(this, title, text, details)->exec();
  };
  buildWindow(startFolder);
  progress_ = std::make_unique<WindowProgress>(Label1_12, picProgress, kTrackTwips, lblProgress,
                                               kFillTwips);
  connectEvents();
  Form_Load();
}

Form1::~Form1() {
  // Deleting the controls moves the focus out of a text box, whose LostFocus handler must not
  // run on a window that is half gone.
  for (QObject* child : findChildren<QObject*>()) {
    for (const QObject* receiver :
         {static_cast<QObject*>(this), static_cast<QObject*>(directory_),
          static_cast<QObject*>(properties_), static_cast<QObject*>(about_)}) {
      QObject::disconnect(child, nullptr, receiver, nullptr);
    }
  }
}

void Form1::buildWindow(const std::filesystem::path& startFolder) {
  setWindowTitle(
      QStringLiteral("Vistrel v%1     \u00A9 %2 %3")
          .arg(QLatin1String(kVersion), QLatin1String(common::kReleaseYear), kMakerName));
  setWindowIcon(QIcon(windowIcon()));
  setFont(fontAt(QApplication::font(), 8.25));
  setFixedSize(toolkit::pixels(kFormWidth), toolkit::pixels(kFormHeight));
  // A fixed-size window: it can be minimised and closed, not maximised.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

  const char* buttons[3] = {"&Directory", "&Properties", "&About"};
  const int buttonLeft[3] = {120, 1440, 2760};
  for (int i = 0; i < 3; ++i) {
    cmdFrames[i] = new QPushButton(QString::fromLatin1(buttons[i]), this);
    place(cmdFrames[i], buttonLeft[i], 240, 1335, 345);
  }
  directory_ = new DirectoryPanel(startFolder, this);
  properties_ = new PropertiesPanel(this);
  about_ = new AboutPanel(*shell_, this);
  Frame1 = {directory_, properties_, about_};
  for (QWidget* panel : Frame1) {
    place(panel, 240, 720, 6375, 4575);
    panel->hide();
  }

  Label1_12 = label(this, QStringLiteral("Working..."), 120, 5520, 5175, 210);
  Label1_12->setFont(fontAt(font(), 8.25, true));
  Label1_12->setWordWrap(false);
  Label1_12->hide();

  picProgress = new QFrame(this);
  picProgress->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  picProgress->setLineWidth(2);
  place(picProgress, 120, 5760, kTrackTwips, 125);
  // The fill lives inside the border, which clips it when it grows past the track.
  auto* inside = new QWidget(picProgress);
  inside->setGeometry(picProgress->contentsRect());
  lblProgress = new QWidget(inside);
  place(lblProgress, 0, 0, kFillTwips, 55);
  QPalette fill = lblProgress->palette();
  fill.setColor(QPalette::Window, kFillColor);
  lblProgress->setPalette(fill);
  lblProgress->setAutoFillBackground(true);
  picProgress->hide();

  cmdExit = new QPushButton(QStringLiteral("&Exit"), this);
  place(cmdExit, 5520, 5520, 1215, 375);

  for (Label* fixed : findChildren<Label*>()) {
    if (!fixed->text().isEmpty() && fixed != Label1_12) {
      fixed->shrinkToFit();
    }
  }
}

void Form1::connectEvents() {
  for (int i = 0; i < 3; ++i) {
    connect(cmdFrames[i], &QPushButton::clicked, this, [this, i] { cmdFrames_Click(i); });
  }
  connect(cmdExit, &QPushButton::clicked, this, &Form1::cmdExit_Click);
  connect(properties_, &PropertiesPanel::createClicked, this, &Form1::cmdCreate_Click);
  connect(directory_, &DirectoryPanel::listChanged, this,
          [this](int count) { enableForPictures(count > 0); });
  // The count and Create follow the list at once, on whichever panel is shown.
  connect(properties_, &PropertiesPanel::typesChanged, this, [this](imaging::PictureTypes types) {
    directory_->setPictureTypes(types);
    properties_->setImageCount(directory_->pictureCount());
  });
  connect(properties_, &PropertiesPanel::albumsChanged, directory_, &DirectoryPanel::setAlbums);
  connect(directory_, &DirectoryPanel::previewFitted, this, [this](int16_t x, int16_t y) {
    X_ = x;
    Y_ = y;
  });
  for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
    button->installEventFilter(this);
  }
}

void Form1::Form_Load() {
  for (int i = 0; i < 3; ++i) {
    QFont f = cmdFrames[i]->font();
    f.setUnderline(i == 0);
    f.setBold(i == 0);
    cmdFrames[i]->setFont(f);
    Frame1[i]->setVisible(i == 0);
  }
  shownPanel_ = 0;
  enableForPictures(directory_->pictureCount() > 0);
  if (directory_->pictureCount() > 0) {
    directory_->showTotal();
  }
  LastPath_ = QString();
}

void Form1::enableForPictures(bool enabled) {
  EnableControls(enabled, {cmdFrames[1], cmdFrames[2]});
  properties_->setCreateEnabled(enabled);
}

void Form1::cmdFrames_Click(int Index) {
  for (int i = 0; i < 3; ++i) {
    QFont f = cmdFrames[i]->font();
    f.setUnderline(i == Index);
    f.setBold(i == Index);
    cmdFrames[i]->setFont(f);
    Frame1[i]->setVisible(i == Index);
  }
  Frame1[Index]->raise();
  shownPanel_ = Index;
  if (Index != 1) {
    return;
  }
  // Folders that differ only in letter case are the same folder only where the file system says
  // so; on a case-sensitive one they are two folders, and each must be counted.
  // LastPath is the shown text; the bytes behind it decide when it still names the folder counted.
  const QString last = LastPath_.trimmed();
  const QString now = directory_->Path();
  bool same = last.compare(now, Qt::CaseInsensitive) == 0;
  const std::filesystem::path lastFolder =
      last == toolkit::displayName(lastFolder_.native()) ? lastFolder_ : fsPath(last);
  if (same && lastFolder != directory_->folder()) {
    std::error_code ec;
    same = std::filesystem::equivalent(lastFolder, directory_->folder(), ec) && !ec;
  }
  if (!same) {
    LastPath_ = now;
    lastFolder_ = directory_->folder();
    properties_->setImageCount(directory_->totalCount());
  }
}

void Form1::EnableControls(bool bEnabled, std::initializer_list<QWidget*> cControls) {
  for (QWidget* control : cControls) {
    control->setEnabled(bEnabled);
  }
}

void Form1::cmdExit_Click() {
  close();
}

bool Form1::openFolder(const QString& folder) {
  return openFolder(fsPath(folder));
}

bool Form1::openFolder(const std::filesystem::path& folder) {
  return directory_->openFolder(folder);
}

CreateSettings Form1::createSettings() const {
  CreateSettings s;
  BatchSettings& b = s.thumbnails;
  b.folder = directory_->listFolder();
  b.pictureNames = directory_->pictureNames();
  // The count was taken when Properties opened; the list may have been read again since.
  b.ImageCount = std::min(properties_->ImageCount(), directory_->pictureCount());
  s.notPictures = directory_->notPictures();
  s.order = directory_->order();
  properties_->readSettings(s);
  b.stop = stop_;
  return s;
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  // An access key acts like a click: the focus moves to the control first, so the box being
  // edited checks and takes its value before the command reads it.
  if (event->type() == QEvent::Shortcut) {
    auto* control = qobject_cast<QWidget*>(watched);
    if (control != nullptr && control->focusPolicy() != Qt::NoFocus && control->isEnabled() &&
        control->isVisible()) {
      control->setFocus(Qt::ShortcutFocusReason);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::cmdCreate_Click() {
  // Whatever way Create was reached, the run uses what the panel shows.
  properties_->checkFocusedBox();
  CreateReport report;
  const CreateSettings settings = createSettings();
  try {
    report = runCreate(settings, *progress_, shell_);
  } catch (const std::exception& e) {
    // The run has hidden the notice and the bar; the window stays usable.
    messageBox_(QStringLiteral("Vistrel"),
                QStringLiteral("Create stopped: %1").arg(QString::fromStdString(e.what())),
                QString());
    return;
  }
  X_ = report.last.X;
  Y_ = report.last.Y;
  if (report.stopped) {
    return;
  }
  const CreateMessage message = createMessage(report, settings.thumbnails.folder);
  if (!message.text.empty()) {
    messageBox_(QStringLiteral("Vistrel"), toolkit::displayName(message.text),
                toolkit::displayName(message.details));
  }
}

std::unique_ptr<QMessageBox> Form1::makeMessageBox(QWidget* parent, const QString& title,
                                                   const QString& text, const QString& details) {
  auto box =
      std::make_unique<QMessageBox>(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  box->setTextFormat(Qt::PlainText);
  if (!details.isEmpty()) {
    box->setDetailedText(details);
  }
  // The text is at most a dozen short lines, but a screen may be small: never taller than it.
  const QScreen* screen = parent != nullptr ? parent->screen() : QApplication::primaryScreen();
  if (screen != nullptr) {
    box->setMaximumSize(screen->availableGeometry().size());
  }
  return box;
}

void Form1::paintEvent(QPaintEvent*) {
  // The raised etched box around the panels: white along the top and left, grey along the
  // bottom and right.
  QPainter painter(this);
  const QPoint topLeft = twipsRect(kBoxLeft, kBoxTop, 0, 0).topLeft();
  const QPoint bottomRight = twipsRect(kBoxRight, kBoxBottom, 0, 0).topLeft();
  painter.setPen(QColor(0xFF, 0xFF, 0xFF));
  painter.drawLine(topLeft.x(), topLeft.y(), bottomRight.x(), topLeft.y());
  painter.drawLine(topLeft.x(), topLeft.y(), topLeft.x(), bottomRight.y());
  painter.setPen(QColor(0x80, 0x80, 0x80));
  painter.drawLine(topLeft.x(), bottomRight.y(), bottomRight.x(), bottomRight.y());
  painter.drawLine(bottomRight.x(), topLeft.y(), bottomRight.x(), bottomRight.y());
}

}  // namespace vistrel::app
