#include "app/properties_panel.h"

#include <QApplication>
#include <QValidator>
#include <algorithm>

#include "app/panel_layout.h"
#include "app/toolkit/twips.h"
#include "common/defaults.h"
#include "common/numbers.h"
#include "common/twips.h"
#include "gallery/page_writer.h"
#include "gallery/table_settings.h"
#include "thumbs/thumb_settings.h"

namespace vistrel::app {
using common::kPrefixInitial;
using common::kPrefixMaxLength;
using common::kQualityInitial;
using common::kQualityMax;
using common::kQualityMin;
using common::kQualityStep;
using common::kThumbnailInitial;
using common::kThumbnailMax;
using common::kThumbnailMin;
using common::twipsPerPixel;
using common::Val;
using gallery::correctTableText;
using gallery::kTableSettingCount;
using gallery::pageCount;
using gallery::PageStyle;
using gallery::tableSettingRange;
using gallery::TableSettingRange;
using gallery::TableTextCorrection;
using thumbs::BatchSettings;
using thumbs::correctPrefix;
using thumbs::correctThumbnailBox;
using thumbs::ThumbnailBoxCorrection;
using toolkit::Label;
using toolkit::SpinControl;
using toolkit::TextBox;

namespace {

// The box holds at most kPrefixMaxLength characters, counted as prefixProblem and vistrel-batch
// count them (code points; QLineEdit's own limit would count UTF-16 units).
class PrefixLength : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override {
    const QList<uint> characters = input.toUcs4();
    if (characters.size() > kPrefixMaxLength) {
      input = QString::fromUcs4(reinterpret_cast<const char32_t*>(characters.constData()),
                                kPrefixMaxLength);
      pos = std::min(pos, static_cast<int>(input.size()));
    }
    return Acceptable;
  }
};

}  // namespace

PropertiesPanel::PropertiesPanel(QWidget* parent) : QWidget(parent) {
  buildThumbnailFrame();
  buildTableFrame();
  // The spins sit over the right end of their boxes; keep the typed text clear of them.
  for (TextBox* box : {txtThumbnail[0], txtThumbnail[1], txtTable[0], txtTable[1], txtTable[2],
                       txtTable[3], txtTable[4]}) {
    box->setTextMargins(0, 0, toolkit::pixels(255 + 30), 0);
  }
  for (SpinControl* spin : {scrThumbnail[0], scrThumbnail[1], scrTable[0], scrTable[1], scrTable[2],
                            scrTable[3], scrTable[4]}) {
    spin->raise();
  }
  buildCreateColumn();

  // Keyboard order follows the panel from top to bottom, each box before its spin.
  QWidget* order[] = {
      txtThumbnail[0], scrThumbnail[0], txtThumbnail[1], scrThumbnail[1], cmbQuality,  txtPrefix,
      cmbTypes,        cmbStyle,        cmdModern,       chkHTML,         cmdCreate,   txtTable[0],
      scrTable[0],     txtTable[1],     scrTable[1],     txtTable[2],     scrTable[2], txtTable[3],
      scrTable[3],     txtTable[4],     scrTable[4]};
  for (size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }
  connectEvents();
}

void PropertiesPanel::buildThumbnailFrame() {
  Frame2 = new QGroupBox(QStringLiteral("Thumbnail"), this);
  place(Frame2, 120, 120, 2055, 4335);
  Label1[13] = label(Frame2, QStringLiteral("Edit thumbnail properties."), 120, 600, 1815, 615,
                     Qt::AlignHCenter);
  Label1[13]->setTextColor(kNavy);
  const char* thumbLabels[2] = {"Max Width", "Max Height"};
  for (int i = 0; i < 2; ++i) {
    const int top = 2040 + 360 * i;
    Label1[3 + i] = label(Frame2, QString::fromLatin1(thumbLabels[i]), 120, top + 30, 960, 255);
    txtThumbnail[i] = new TextBox(QString::number(kThumbnailInitial), Frame2);
    place(txtThumbnail[i], 1080, top, 855, 295);
    scrThumbnail[i] = new SpinControl(Frame2);
    place(scrThumbnail[i], 1650, top + 30, 255, 255);
    scrThumbnail[i]->setRange(kThumbnailMin, kThumbnailMax);
    scrThumbnail[i]->setSingleStep(1);
    scrThumbnail[i]->setPageStep(5);
    scrThumbnail[i]->setValue(kThumbnailInitial);
  }
  Label1[5] = label(Frame2, QStringLiteral("Quality"), 120, 2790, 960, 255);
  cmbQuality = new QComboBox(Frame2);
  for (int q = kQualityMin; q <= kQualityMax; q += kQualityStep) {
    cmbQuality->addItem(QString::number(q));
  }
  cmbQuality->setCurrentText(QString::number(kQualityInitial));
  place(cmbQuality, 1080, 2760, 855, 315);
  Label1[6] = label(Frame2, QStringLiteral("Prefix"), 120, 3150, 960, 255);
  txtPrefix = new TextBox(
      QString::fromUtf8(kPrefixInitial.data(), static_cast<qsizetype>(kPrefixInitial.size())),
      Frame2);
  txtPrefix->setValidator(new PrefixLength(txtPrefix));
  place(txtPrefix, 1080, 3120, 855, 295);
  lastPrefix_ = txtPrefix->text();
}

void PropertiesPanel::buildTableFrame() {
  Frame3 = new QGroupBox(QStringLiteral("Table"), this);
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
}

void PropertiesPanel::buildCreateColumn() {
  Label1[15] = label(this,
                     QStringLiteral("When you finish editing thumbnail and table properties, "
                                    "click the Create button to create thumbnail images and/or "
                                    "HTML document."),
                     2280, 720, 1695, 1455, Qt::AlignHCenter);
  Label1[15]->setTextColor(kNavy);
  // Which pictures are listed, then the page style: the choices about the output, above Open in
  // Browser.
  lblTypes = label(this, QStringLiteral("Picture &types"), 2280, 2190, 1695, 255, Qt::AlignHCenter);
  cmbTypes = new QComboBox(this);
  cmbTypes->addItems({QStringLiteral("JPEG and GIF"), QStringLiteral("All supported")});
  cmbTypes->setToolTip(
      QStringLiteral("All supported: also HEIC, HEIF, AVIF, WebP and PNG pictures. "
                     "Thumbnails are JPEG either way."));
  place(cmbTypes, 2340, 2430, 1575, 315);
  lblTypes->setBuddy(cmbTypes);
  lblStyle = label(this, QStringLiteral("Page &Style"), 2280, 2775, 1695, 255, Qt::AlignHCenter);
  cmbStyle = new QComboBox(this);
  cmbStyle->addItems({QStringLiteral("Classic"), QStringLiteral("Modern")});
  cmbStyle->setToolTip(
      QStringLiteral("Classic: table pages. Modern: pages that fit phones and sharp screens, "
                     "with light and dark colours."));
  place(cmbStyle, 2340, 3015, 1215, 315);
  lblStyle->setBuddy(cmbStyle);
  // Too narrow for its name, which its tip and accessible name give.
  cmdModern = new QToolButton(this);
  cmdModern->setText(QStringLiteral("..."));
  cmdModern->setToolTip(
      QStringLiteral("Modern options...: the display copies' size, whether "
                     "picture pages link the originals, and the gallery's title"));
  cmdModern->setAccessibleName(QStringLiteral("Modern options"));
  cmdModern->setEnabled(false);
  place(cmdModern, 3585, 3015, 330, 315);
  Label1[19] =
      label(this, QStringLiteral("Open in Browser"), 2280, 3360, 1695, 255, Qt::AlignHCenter);
  chkHTML = new QCheckBox(this);
  place(chkHTML, 3000, 3600, 255, 255);
  chkHTML->setChecked(true);
  cmdCreate = new QPushButton(QStringLiteral("&Create"), this);
  place(cmdCreate, 2520, 4080, 1215, 375);
}

void PropertiesPanel::connectEvents() {
  connect(cmdCreate, &QPushButton::clicked, this, &PropertiesPanel::createClicked);
  connect(cmbStyle, &QComboBox::currentIndexChanged, this, [this](int index) {
    cmdModern->setEnabled(index == 1);
    emit albumsChanged(index == 1 && modern_.albums);
  });
  connect(cmdModern, &QToolButton::clicked, this, &PropertiesPanel::cmdModern_Click);
  connect(cmbTypes, &QComboBox::currentIndexChanged, this,
          [this] { emit typesChanged(pictureTypes()); });
  for (int i = 0; i < 2; ++i) {
    connect(scrThumbnail[i], &SpinControl::valueChanged, this,
            [this, i] { scrThumbnail_Change(i); });
    connect(txtThumbnail[i], &TextBox::LostFocus, this, [this, i] { txtThumbnail_LostFocus(i); });
    // Enter takes a box's value as leaving the box would.
    connect(txtThumbnail[i], &TextBox::returnPressed, this, [this, i] {
      txtThumbnail_LostFocus(i);
      txtThumbnail[i]->selectAll();
    });
  }
  connect(txtPrefix, &TextBox::LostFocus, this, &PropertiesPanel::txtPrefix_LostFocus);
  connect(txtPrefix, &TextBox::returnPressed, this, [this] {
    txtPrefix_LostFocus();
    txtPrefix->selectAll();
  });
  for (int i = 0; i < kTableSettingCount; ++i) {
    connect(scrTable[i], &SpinControl::valueChanged, this, [this, i] { scrTable_Change(i); });
    connect(txtTable[i], &TextBox::LostFocus, this, [this, i] { txtTable_LostFocus(i); });
    connect(txtTable[i], &TextBox::returnPressed, this, [this, i] {
      txtTable_LostFocus(i);
      txtTable[i]->selectAll();
    });
  }
}

void PropertiesPanel::setImageCount(int count) {
  ImageCount_ = count;
  refreshPageCount();
  lblNumImages->setCaption(QString::number(ImageCount_));
}

imaging::PictureTypes PropertiesPanel::pictureTypes() const {
  return cmbTypes->currentIndex() == 1 ? imaging::PictureTypes::All
                                       : imaging::PictureTypes::JpegGif;
}

void PropertiesPanel::setCreateEnabled(bool enabled) {
  cmdCreate->setEnabled(enabled);
}

void PropertiesPanel::scrThumbnail_Change(int Index) {
  txtThumbnail[Index]->setText(QString::number(scrThumbnail[Index]->value()));
}

void PropertiesPanel::txtThumbnail_LostFocus(int Index) {
  const ThumbnailBoxCorrection c =
      correctThumbnailBox(txtThumbnail[Index]->text().toStdString(), scrThumbnail[Index]->value());
  txtThumbnail[Index]->setText(QString::fromStdString(c.text));
  scrThumbnail[Index]->setValue(c.value);
}

void PropertiesPanel::txtPrefix_LostFocus() {
  lastPrefix_ = QString::fromStdString(
      correctPrefix(txtPrefix->text().toStdString(), lastPrefix_.toStdString()));
  txtPrefix->setText(lastPrefix_);
}

void PropertiesPanel::scrTable_Change(int Index) {
  txtTable[Index]->setText(QString::number(scrTable[Index]->value()));
  refreshPageCount();
}

void PropertiesPanel::txtTable_LostFocus(int Index) {
  const TableTextCorrection c =
      correctTableText(Index, txtTable[Index]->text().toStdString(), scrTable[Index]->value());
  txtTable[Index]->setText(QString::fromStdString(c.Text));
  scrTable[Index]->setValue(c.Value);
}

void PropertiesPanel::cmdModern_Click() {
  if (dlgModern_ && dlgModern_->isVisible()) {
    return;
  }
  auto* dialog = new ModernOptionsDialog(modern_, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] {
    modern_ = dialog->options();
    emit albumsChanged(modern_.albums);
  });
  dlgModern_ = dialog;
  // Modal to the window, without a nested event loop: Create waits until the dialog closes.
  dialog->open();
}

void PropertiesPanel::refreshPageCount() {
  lblNumPages->setCaption(
      QString::number(pageCount(ImageCount_, scrTable[0]->value(), scrTable[1]->value())));
}

void PropertiesPanel::checkFocusedBox() {
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

void PropertiesPanel::readSettings(run::CreateSettings& s) const {
  BatchSettings& b = s.thumbnails;
  b.largestWidth = static_cast<int16_t>(scrThumbnail[0]->value());
  b.largestHeight = static_cast<int16_t>(scrThumbnail[1]->value());
  b.prefix = txtPrefix->text().toStdString();
  b.quality = static_cast<int32_t>(Val(cmbQuality->currentText().toStdString()));
  b.twipsPerPixelX = static_cast<float>(twipsPerPixel());
  b.twipsPerPixelY = b.twipsPerPixelX;
  b.gifBackground = gifBackground(this);
  b.types = pictureTypes();
  s.table = {scrTable[0]->value(), scrTable[1]->value(), scrTable[2]->value(), scrTable[3]->value(),
             scrTable[4]->value()};
  s.openFirstPage = chkHTML->checkState() == Qt::Checked;
  s.style = cmbStyle->currentIndex() == 1 ? PageStyle::Modern : PageStyle::Classic;
  // Classic pages have no copies and link every original: the options wait for the modern style.
  if (s.style == PageStyle::Modern) {
    modern_.applyTo(s);
  }
}

}  // namespace vistrel::app
