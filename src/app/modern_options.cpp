#include "app/modern_options.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vistrel::app {
using common::kViewSizeMax;
using common::kViewSizeMin;
using gallery::Originals;

void ModernOptions::applyTo(run::CreateSettings& s) const {
  s.thumbnails.viewSize = viewSize;
  s.originals = originals;
  s.title = title;
  s.albums = albums;
}

ModernOptionsDialog::ModernOptionsDialog(const ModernOptions& shown, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Modern options"));
  auto* layout = new QVBoxLayout(this);
  form_ = new QFormLayout;
  layout->addLayout(form_);
  addViewSize(shown);
  addOriginals(shown);
  addTitle(shown);
  addAlbums(shown);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void ModernOptionsDialog::addRow(const QString& caption, QWidget* control,
                                 std::function<void(ModernOptions&)> take) {
  auto* label = new QLabel(caption, this);
  label->setBuddy(control);
  form_->addRow(label, control);
  takes_.push_back(std::move(take));
}

void ModernOptionsDialog::addTitle(const ModernOptions& shown) {
  auto* box = new QLineEdit(QString::fromStdString(shown.title), this);
  box->setObjectName(QStringLiteral("title"));
  box->setPlaceholderText(QStringLiteral("The folder's name"));
  box->setToolTip(QStringLiteral("The gallery's title, on every page. Empty: the folder's name."));
  addRow(QStringLiteral("&Title"), box,
         [box](ModernOptions& o) { o.title = box->text().toStdString(); });
}

void ModernOptionsDialog::addViewSize(const ModernOptions& shown) {
  auto* box = new QSpinBox(this);
  box->setObjectName(QStringLiteral("viewSize"));
  box->setRange(kViewSizeMin, kViewSizeMax);
  box->setSingleStep(64);
  box->setSuffix(QStringLiteral(" px"));
  box->setValue(shown.viewSize);
  box->setToolTip(
      QStringLiteral("The longest edge of each picture's display copy, in CSS pixels. A copy "
                     "twice that size serves sharp screens; no picture is enlarged."));
  addRow(QStringLiteral("&View size"), box, [box](ModernOptions& o) { o.viewSize = box->value(); });
}

void ModernOptionsDialog::addOriginals(const ModernOptions& shown) {
  auto* box = new QComboBox(this);
  box->setObjectName(QStringLiteral("originals"));
  box->addItems({QStringLiteral("Linked from each picture page"),
                 QStringLiteral("Not linked: publish only the copies")});
  box->setCurrentIndex(shown.originals == Originals::None ? 1 : 0);
  box->setToolTip(
      QStringLiteral("An original keeps everything the camera wrote into it, such as where the "
                     "picture was taken. The copies carry none of it."));
  addRow(QStringLiteral("&Originals"), box, [box](ModernOptions& o) {
    o.originals = box->currentIndex() == 1 ? Originals::None : Originals::Link;
  });
}

void ModernOptionsDialog::addAlbums(const ModernOptions& shown) {
  auto* box = new QCheckBox(QStringLiteral("Include subfolders as albums"), this);
  box->setObjectName(QStringLiteral("albums"));
  box->setChecked(shown.albums);
  box->setToolTip(
      QStringLiteral("Every subfolder with pictures becomes an album with its own pages, linked "
                     "from its parent's first page."));
  addRow(QStringLiteral("&Albums"), box, [box](ModernOptions& o) { o.albums = box->isChecked(); });
}

ModernOptions ModernOptionsDialog::options() const {
  ModernOptions options;
  for (const auto& take : takes_) {
    take(options);
  }
  return options;
}

}  // namespace vistrel::app
