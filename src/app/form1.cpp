#include "app/form1.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <algorithm>
#include <filesystem>
#include <limits>

#include "app/create_message.h"
#include "app/toolkit/twips.h"
#include "app/window_icon.h"
#include "browse/fit.h"
#include "browse/folder_read.h"
#include "browse/preview.h"
#include "common/numbers.h"
#include "common/version.h"
#include "gallery/page_writer.h"
#include "gallery/table_settings.h"
#include "thumbs/thumb_settings.h"

namespace vistrel::app {
using common::Val;
using gallery::correctTableText;
using gallery::PageStyle;
using gallery::tableSettingRange;
using thumbs::BatchSettings;
using thumbs::correctThumbnailBox;

using browse::FitBox;
using browse::FitElement;
using browse::PreviewPlacement;
using common::kVersion;
using gallery::kTableSettingCount;
using gallery::pageCount;
using gallery::TableSettingRange;
using gallery::TableTextCorrection;
using run::CreateReport;
using run::CreateSettings;
using thumbs::correctPrefix;
using thumbs::kPrefixMaxLength;
using thumbs::kThumbnailMax;
using thumbs::kThumbnailMin;
using thumbs::ThumbnailBoxCorrection;

using toolkit::Label;
using toolkit::SpinControl;
using toolkit::TextBox;
using toolkit::twipsRect;

namespace {

// The window's client area and the etched box around the panels, in twips.
constexpr int kFormWidth = 6840;
constexpr int kFormHeight = 5985;
constexpr int kBoxLeft = 120, kBoxTop = 600, kBoxRight = 6720, kBoxBottom = 5400;
constexpr float kTrackTwips = 5200;
constexpr float kFillTwips = 15;

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kFillColor(0x00, 0x00, 0xC0);

void place(QWidget* w, double left, double top, double width, double height) {
  w->setGeometry(twipsRect(left, top, width, height));
}

QFont fontAt(const QFont& base, double points, bool bold = false, bool underline = false) {
  QFont f = base;
  f.setPointSizeF(points);
  f.setBold(bold);
  f.setUnderline(underline);
  return f;
}

// &H80000002 (active title bar) and &H80000009 (title bar text) on our palette.
QColor titleBarColor(const QWidget* w) {
  return w->palette().color(QPalette::Highlight);
}
QColor titleTextColor(const QWidget* w) {
  return w->palette().color(QPalette::HighlightedText);
}

std::filesystem::path fsPath(const QString& path) {
  return std::filesystem::path(path.toStdString());
}

QImage toQImage(const imaging::Picture& p) {
  if (p.empty()) {
    return {};
  }
  return QImage(p.bgr.data(), p.width, p.height, p.stride, QImage::Format_BGR888).copy();
}

Label* label(QWidget* parent, const QString& caption, double l, double t, double w, double h,
             Qt::Alignment align = Qt::AlignLeft) {
  auto* lab = new Label(caption, parent);
  place(lab, l, t, w, h);
  lab->setAlignment(align | Qt::AlignTop);
  return lab;
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

Form1::Form1(const QString& startFolder, Shell* shell, QWidget* parent)
    : Form1(fsPath(startFolder), shell, parent) {}

Form1::Form1(const std::filesystem::path& startFolder, Shell* shell, QWidget* parent)
    : QWidget(parent), shell_(shell) {
  if (shell_ == nullptr) {
    ownShell_ = std::make_unique<DesktopShell>();
    shell_ = ownShell_.get();
  }
  messageBox_ = [this](const QString& title, const QString& text, const QString& details) {
    makeMessageBox(this, title, text, details)->exec();
  };
  buildWindow();
  progress_ = std::make_unique<WindowProgress>(Label1[12], picProgress, kTrackTwips, lblProgress,
                                               kFillTwips);
  showFirstFolder(startFolder);
  connectEvents();
  Form_Load();
}

Form1::~Form1() {
  // Deleting the controls moves the focus out of a text box, whose LostFocus handler must not
  // run on a window that is half gone.
  for (QObject* child : findChildren<QObject*>()) {
    QObject::disconnect(child, nullptr, this, nullptr);
  }
}

void Form1::buildWindow() {
  setWindowTitle(
      QStringLiteral("Vistrel v%1     \u00A9 2026 %2").arg(QLatin1String(kVersion), kMakerName));
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
    Frame1[i] = new QWidget(this);
    place(Frame1[i], 240, 720, 6375, 4575);
    Frame1[i]->hide();
  }
  buildDirectoryPanel(Frame1[0]);
  buildPropertiesPanel(Frame1[1]);
  buildAboutPanel(Frame1[2]);

  Label1[12] = label(this, QStringLiteral("Working..."), 120, 5520, 5175, 210);
  Label1[12]->setFont(fontAt(font(), 8.25, true));
  Label1[12]->setWordWrap(false);
  Label1[12]->hide();

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
    if (!fixed->text().isEmpty() && fixed != Label1[12]) {
      fixed->shrinkToFit();
    }
  }
}

void Form1::buildDirectoryPanel(QWidget* panel) {
  Label1[1] =
      label(panel, QStringLiteral("Select Drive and Directory containing the desired images"), 0, 0,
            6375, 225, Qt::AlignHCenter);
  Label1[1]->setFont(fontAt(font(), 8.25, true));
  Label1[1]->setBackColor(titleBarColor(this));
  Label1[1]->setTextColor(titleTextColor(this));
  Label1[1]->setAlignment(Qt::AlignCenter);

  Drive1 = new toolkit::DriveList(panel);
  place(Drive1, 0, 240, 3135, 315);
  Dir1 = new toolkit::DirList(panel);
  place(Dir1, 0, 600, 3135, 1665);
  File1 = new toolkit::FileList(panel);
  place(File1, 3240, 240, 3135, 2040);

  picContainer = new QWidget(panel);
  place(picContainer, 0, 2400, 3135, 2175);
  imgPreview = new PreviewImage(picContainer);
  imgPreview->setTwipsGeometry(QRectF(120, 240, 735, 495));

  chkPreview = new QCheckBox(QStringLiteral("Preview"), panel);
  place(chkPreview, 3240, 2400, 975, 255);
  chkPreview->setChecked(true);
  Label1[0] = label(panel, QStringLiteral("Total images"), 4920, 2400, 975, 255);
  Label1[0]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lblTotalImages = label(panel, QString(), 5880, 2400, 495, 255);
  lblTotalImages->setBoxed(true);
  lblTotalImages->setAlignment(Qt::AlignCenter);
  Label1[2] = label(panel,
                    QStringLiteral("To view a Preview of the selected image, place a check in the "
                                   "Preview CheckBox."),
                    3720, 3120, 2415, 615, Qt::AlignHCenter);
  Label1[2]->setTextColor(titleBarColor(this));
  lblImageAttributes = label(panel, QString(), 3240, 4320, 3135, 255);
  lblImageAttributes->setWordWrap(false);
}

void Form1::buildPropertiesPanel(QWidget* panel) {
  Frame2 = new QGroupBox(QStringLiteral("Thumbnail"), panel);
  place(Frame2, 120, 120, 2055, 4335);
  Label1[13] = label(Frame2, QStringLiteral("Edit thumbnail properties."), 120, 600, 1815, 615,
                     Qt::AlignHCenter);
  Label1[13]->setTextColor(kNavy);
  const char* thumbLabels[2] = {"Max Width", "Max Height"};
  for (int i = 0; i < 2; ++i) {
    const int top = 2040 + 360 * i;
    Label1[3 + i] = label(Frame2, QString::fromLatin1(thumbLabels[i]), 120, top + 30, 960, 255);
    txtThumbnail[i] = new TextBox(QStringLiteral("150"), Frame2);
    place(txtThumbnail[i], 1080, top, 855, 295);
    scrThumbnail[i] = new SpinControl(Frame2);
    place(scrThumbnail[i], 1650, top + 30, 255, 255);
    scrThumbnail[i]->setRange(kThumbnailMin, kThumbnailMax);
    scrThumbnail[i]->setSingleStep(1);
    scrThumbnail[i]->setPageStep(5);
    scrThumbnail[i]->setValue(150);
  }
  Label1[5] = label(Frame2, QStringLiteral("Quality"), 120, 2790, 960, 255);
  cmbQuality = new QComboBox(Frame2);
  for (int q = 60; q <= 100; q += 5) {
    cmbQuality->addItem(QString::number(q));
  }
  place(cmbQuality, 1080, 2760, 855, 315);
  Label1[6] = label(Frame2, QStringLiteral("Prefix"), 120, 3150, 960, 255);
  txtPrefix = new TextBox(QStringLiteral("th_"), Frame2);
  txtPrefix->setMaxLength(kPrefixMaxLength);
  place(txtPrefix, 1080, 3120, 855, 295);
  lastPrefix_ = txtPrefix->text();

  Frame3 = new QGroupBox(QStringLiteral("Table"), panel);
  place(Frame3, 4080, 120, 2175, 4335);
  Label1[14] =
      label(Frame3, QStringLiteral("Edit table properties"), 120, 600, 1815, 495, Qt::AlignHCenter);
  Label1[14]->setTextColor(kNavy);
  Label1[17] = label(Frame3, QStringLiteral("Images"), 120, 1230, 1080, 255);
  lblNumImages = label(Frame3, QStringLiteral("1"), 1200, 1200, 495, 300);
  Label1[16] = label(Frame3, QStringLiteral("html Pages"), 120, 1590, 1080, 255);
  lblNumPages = label(Frame3, QStringLiteral("1"), 1200, 1560, 495, 300);
  for (Label* count : {lblNumImages, lblNumPages}) {
    count->setBoxed(true);
    count->setAlignment(Qt::AlignCenter);
  }
  const struct {
    int labelIndex;
    const char* caption;
  } rows[kTableSettingCount] = {{8, "Rows (Y)"},
                                {7, "Columns (X)"},
                                {10, "Border Size"},
                                {9, "Cell Padding"},
                                {11, "Cell Spacing"}};
  for (int i = 0; i < kTableSettingCount; ++i) {
    const int top = 2040 + 360 * i;
    const TableSettingRange range = tableSettingRange(i);
    Label1[rows[i].labelIndex] =
        label(Frame3, QString::fromLatin1(rows[i].caption), 120, top + 30, 1080, 255);
    txtTable[i] = new TextBox(QString::number(range.Initial), Frame3);
    place(txtTable[i], 1200, top, 855, 295);
    scrTable[i] = new SpinControl(Frame3);
    place(scrTable[i], 1770, top + 30, 255, 255);
    scrTable[i]->setRange(range.Min, range.Max);
    scrTable[i]->setPageStep(1);
    scrTable[i]->setValue(range.Initial);
  }
  // The spins sit over the right end of their boxes; keep the typed text clear of them.
  for (TextBox* box : {txtThumbnail[0], txtThumbnail[1], txtTable[0], txtTable[1], txtTable[2],
                       txtTable[3], txtTable[4]}) {
    box->setTextMargins(0, 0, toolkit::pixels(255 + 30), 0);
  }
  for (SpinControl* spin : {scrThumbnail[0], scrThumbnail[1], scrTable[0], scrTable[1], scrTable[2],
                            scrTable[3], scrTable[4]}) {
    spin->raise();
  }

  Label1[15] = label(panel,
                     QStringLiteral("When you finish editing thumbnail and table properties, "
                                    "click the Create button to create thumbnail images and/or "
                                    "HTML document."),
                     2280, 720, 1695, 1455, Qt::AlignHCenter);
  Label1[15]->setTextColor(kNavy);
  // The page style sits with the other choices about the output, above Open in Browser.
  lblStyle = label(panel, QStringLiteral("Page &Style"), 2280, 2640, 1695, 255, Qt::AlignHCenter);
  cmbStyle = new QComboBox(panel);
  cmbStyle->addItems({QStringLiteral("Classic"), QStringLiteral("Modern")});
  cmbStyle->setToolTip(
      QStringLiteral("Classic: table pages. Modern: pages that fit phones and sharp screens, "
                     "with light and dark colours."));
  place(cmbStyle, 2520, 2910, 1215, 315);
  lblStyle->setBuddy(cmbStyle);
  Label1[19] =
      label(panel, QStringLiteral("Open in Browser"), 2280, 3360, 1695, 255, Qt::AlignHCenter);
  chkHTML = new QCheckBox(panel);
  place(chkHTML, 3000, 3600, 255, 255);
  chkHTML->setChecked(true);
  cmdCreate = new QPushButton(QStringLiteral("&Create"), panel);
  place(cmdCreate, 2520, 4080, 1215, 375);

  // Keyboard order follows the panel from top to bottom, each box before its spin.
  QWidget* order[] = {txtThumbnail[0], scrThumbnail[0], txtThumbnail[1], scrThumbnail[1],
                      cmbQuality,      txtPrefix,       cmbStyle,        chkHTML,
                      cmdCreate,       txtTable[0],     scrTable[0],     txtTable[1],
                      scrTable[1],     txtTable[2],     scrTable[2],     txtTable[3],
                      scrTable[3],     txtTable[4],     scrTable[4]};
  for (size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }
}

void Form1::buildAboutPanel(QWidget* panel) {
  Label1[18] = label(panel, QStringLiteral("Vistrel"), 0, 480, 6375, 495, Qt::AlignHCenter);
  Label1[18]->setFont(fontAt(font(), 24, true));
  Label1[18]->setTextColor(titleBarColor(this));
  const QString maker = QString::fromLatin1(kMakerName);
  const QString credits[3] = {
      QStringLiteral("Vistrel v%1, a web gallery maker by %2").arg(QLatin1String(kVersion), maker),
      QStringLiteral("Copyright \u00A9 2026 %1").arg(maker),
      QStringLiteral("Written in 2026 by the %1 team").arg(maker)};
  const int creditIndex[3] = {12, 15, 16};
  for (int i = 0; i < 3; ++i) {
    Label2[creditIndex[i]] =
        label(panel, credits[i], 480, 1200 + 240 * i, 5415, 255, Qt::AlignHCenter);
    Label2[creditIndex[i]]->setFont(fontAt(font(), 9.75));
  }
  Label2[17] =
      label(panel, QStringLiteral("Visit the %1 web page for news and more tools:").arg(maker), 480,
            2880, 5415, 255, Qt::AlignHCenter);
  lblLink =
      label(panel, QString::fromLatin1(kMakerAddress), 480, 3240, 5415, 255, Qt::AlignHCenter);
  lblLink->setFont(fontAt(font(), 9.75, true, true));
  lblLink->setTextColor(kBlue);
  lblLink->setCursor(Qt::PointingHandCursor);
}

void Form1::showFirstFolder(const std::filesystem::path& startFolder) {
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

void Form1::connectEvents() {
  for (int i = 0; i < 3; ++i) {
    connect(cmdFrames[i], &QPushButton::clicked, this, [this, i] { cmdFrames_Click(i); });
  }
  connect(cmdExit, &QPushButton::clicked, this, &Form1::cmdExit_Click);
  connect(cmdCreate, &QPushButton::clicked, this, &Form1::cmdCreate_Click);
  connect(lblLink, &Label::MouseUp, this, [this](Qt::MouseButton) { lblLink_MouseUp(); });
  connect(Drive1, &toolkit::DriveList::Change, this, &Form1::Drive1_Change);
  connect(Dir1, &toolkit::DirList::Change, this, &Form1::Dir1_Change);
  connect(File1, &toolkit::FileList::Click, this, &Form1::File1_Click);
  connect(chkPreview, &QCheckBox::toggled, this, &Form1::chkPreview_Click);
  for (int i = 0; i < 2; ++i) {
    connect(scrThumbnail[i], &SpinControl::valueChanged, this,
            [this, i] { scrThumbnail_Change(i); });
    connect(txtThumbnail[i], &TextBox::LostFocus, this, [this, i] { txtThumbnail_LostFocus(i); });
  }
  connect(txtPrefix, &TextBox::LostFocus, this, &Form1::txtPrefix_LostFocus);
  // Enter takes a box's value as leaving the box would.
  for (int i = 0; i < 2; ++i) {
    connect(txtThumbnail[i], &TextBox::returnPressed, this, [this, i] {
      txtThumbnail_LostFocus(i);
      txtThumbnail[i]->selectAll();
    });
  }
  connect(txtPrefix, &TextBox::returnPressed, this, [this] {
    txtPrefix_LostFocus();
    txtPrefix->selectAll();
  });
  for (int i = 0; i < kTableSettingCount; ++i) {
    connect(txtTable[i], &TextBox::returnPressed, this, [this, i] {
      txtTable_LostFocus(i);
      txtTable[i]->selectAll();
    });
  }
  for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
    button->installEventFilter(this);
  }
  for (int i = 0; i < kTableSettingCount; ++i) {
    connect(scrTable[i], &SpinControl::valueChanged, this, [this, i] { scrTable_Change(i); });
    connect(txtTable[i], &TextBox::LostFocus, this, [this, i] { txtTable_LostFocus(i); });
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
  if (File1->ListCount() > 0) {
    EnableControls(true, {cmdFrames[1], cmdFrames[2], cmdCreate});
    lblTotalImages->setCaption(QString::number(File1->ListCount()));
  } else {
    EnableControls(false, {cmdFrames[1], cmdFrames[2], cmdCreate});
  }
  LastPath = QString();
  cmbQuality->setCurrentText(QStringLiteral("65"));
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
  const QString last = LastPath.trimmed();
  const QString now = Dir1->Path();
  bool same = last.compare(now, Qt::CaseInsensitive) == 0;
  const std::filesystem::path lastFolder =
      last == toolkit::displayName(lastFolder_.native()) ? lastFolder_ : fsPath(last);
  if (same && lastFolder != Dir1->folder()) {
    std::error_code ec;
    same = std::filesystem::equivalent(lastFolder, Dir1->folder(), ec) && !ec;
  }
  if (!same) {
    ImageCount = File1->ListCount();
    LastPath = now;
    lastFolder_ = Dir1->folder();
    refreshPageCount();
    lblNumImages->setCaption(QString::number(ImageCount));
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

void Form1::lblLink_MouseUp() {
  ShellDef(QString::fromLatin1(kMakerAddress));
}

void Form1::ShellDef(const QString& file_name) {
  shell_->ShellDef(file_name);
}

bool Form1::openFolder(const QString& folder) {
  return openFolder(fsPath(folder));
}

bool Form1::openFolder(const std::filesystem::path& folder) {
  // Dir1_Change goes back when the file list cannot be read, so the path tells what happened.
  return Dir1->setPath(folder) && Dir1->folder() == browse::normalFolder(folder);
}

void Form1::Drive1_Change() {
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

void Form1::Dir1_Change() {
  if (!File1->setPath(Dir1->folder())) {
    Dir1->revert();
    QApplication::beep();
    return;
  }
  lblTotalImages->setCaption(QString::number(File1->ListCount()));
  blankPreview();
  EnableControls(File1->ListCount() > 0, {cmdFrames[1], cmdFrames[2], cmdCreate});
  // Opening a folder on another volume moves the drive list with it.
  Drive1->showDriveOf(Dir1->Path());
  driveFolders_.insert(Drive1->Drive(), Dir1->folder());
}

void Form1::blankPreview() {
  imgPreview->setPicture(QImage(), QSize());
  lblImageAttributes->setCaption(QString());
}

void Form1::File1_Click() {
  if (chkPreview->isChecked() && File1->ListCount() > 0) {
    showSelectedPicture();
  }
}

void Form1::chkPreview_Click() {
  if (chkPreview->isChecked()) {
    if (File1->ListCount() > 0 && File1->ListIndex() >= 0) {
      showSelectedPicture();
    }
  } else {
    blankPreview();
  }
}

void Form1::showSelectedPicture() {
  const browse::PreviewPicture loaded =
      browse::loadPreview(Dir1->folder(), File1->nameBytes(File1->ListIndex()),
                          picContainer->width(), picContainer->height());
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

void Form1::ShowPreview() {
  imgPreview->hide();
  const float tpp = static_cast<float>(toolkit::twipsPerPixel());
  const QSize picture = imgPreview->naturalSize();
  const FitBox box{static_cast<float>(picContainer->width()) * tpp,
                   static_cast<float>(picContainer->height()) * tpp};
  const FitElement element{static_cast<float>(picture.width()) * tpp,
                           static_cast<float>(picture.height()) * tpp};
  const PreviewPlacement placement = fitPreview(box, element);
  X = placement.size.X;
  Y = placement.size.Y;
  imgPreview->setTwipsGeometry(QRectF(placement.left, placement.top, X, Y));
  imgPreview->show();
}

void Form1::scrThumbnail_Change(int Index) {
  txtThumbnail[Index]->setText(QString::number(scrThumbnail[Index]->value()));
}

void Form1::txtThumbnail_LostFocus(int Index) {
  const ThumbnailBoxCorrection c =
      correctThumbnailBox(txtThumbnail[Index]->text().toStdString(), scrThumbnail[Index]->value());
  txtThumbnail[Index]->setText(QString::fromStdString(c.text));
  scrThumbnail[Index]->setValue(c.value);
}

void Form1::txtPrefix_LostFocus() {
  lastPrefix_ = QString::fromStdString(
      correctPrefix(txtPrefix->text().toStdString(), lastPrefix_.toStdString()));
  txtPrefix->setText(lastPrefix_);
}

void Form1::scrTable_Change(int Index) {
  txtTable[Index]->setText(QString::number(scrTable[Index]->value()));
  refreshPageCount();
}

void Form1::txtTable_LostFocus(int Index) {
  const TableTextCorrection c =
      correctTableText(Index, txtTable[Index]->text().toStdString(), scrTable[Index]->value());
  txtTable[Index]->setText(QString::fromStdString(c.Text));
  scrTable[Index]->setValue(c.Value);
}

void Form1::refreshPageCount() {
  lblNumPages->setCaption(
      QString::number(pageCount(ImageCount, scrTable[0]->value(), scrTable[1]->value())));
}

CreateSettings Form1::createSettings() const {
  CreateSettings s;
  BatchSettings& b = s.thumbnails;
  b.folder = File1->folder();
  for (int i = 0; i < File1->ListCount(); ++i) {
    b.pictureNames.push_back(File1->nameBytes(i));
  }
  // The count was taken when Properties opened; the list may have been read again since.
  b.ImageCount = std::min(ImageCount, File1->ListCount());
  b.largestWidth = static_cast<int16_t>(scrThumbnail[0]->value());
  b.largestHeight = static_cast<int16_t>(scrThumbnail[1]->value());
  b.prefix = txtPrefix->text().toStdString();
  b.quality = static_cast<int32_t>(Val(cmbQuality->currentText().toStdString()));
  b.twipsPerPixelX = static_cast<float>(toolkit::twipsPerPixel());
  b.twipsPerPixelY = b.twipsPerPixelX;
  s.table = {scrTable[0]->value(), scrTable[1]->value(), scrTable[2]->value(), scrTable[3]->value(),
             scrTable[4]->value()};
  s.openFirstPage = chkHTML->checkState() == Qt::Checked;
  s.style = cmbStyle->currentIndex() == 1 ? PageStyle::Modern : PageStyle::Classic;
  return s;
}

void Form1::checkFocusedBox() {
  QWidget* focused = QApplication::focusWidget();
  for (int i = 0; i < 2; ++i) {
    if (focused == txtThumbnail[i]) {
      txtThumbnail_LostFocus(i);
    }
  }
  if (focused == txtPrefix) {
    txtPrefix_LostFocus();
  }
  for (int i = 0; i < kTableSettingCount; ++i) {
    if (focused == txtTable[i]) {
      txtTable_LostFocus(i);
    }
  }
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
  checkFocusedBox();
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
  X = report.last.X;
  Y = report.last.Y;
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
