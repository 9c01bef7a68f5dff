#pragma once
// The modern style's own settings, which the Properties panel's fixed layout has no room for: a
// dialog opened from the small button beside Page Style. A new setting is a field of
// ModernOptions, one row the dialog adds (a label, a control, how it shows and takes the value)
// and a line in applyTo.

#include <QDialog>
#include <QFormLayout>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "common/defaults.h"
#include "gallery/modern_page.h"
#include "run/create_run.h"

namespace vistrel::app {

struct ModernOptions {
  int viewSize = common::kViewSizeInitial;  // display copies' longest edge, CSS pixels
  gallery::Originals originals = gallery::Originals::Link;
  std::string title{};  // UTF-8; "" for the folder's name
  bool albums = false;  // the folder's whole tree, each folder with pictures an album

  // Into the settings of a modern run.
  void applyTo(run::CreateSettings& s) const;
  bool operator==(const ModernOptions&) const = default;
};

class ModernOptionsDialog : public QDialog {
  Q_OBJECT
 public:
  // Shows `shown`; OK accepts what the controls then hold (options()), Cancel leaves it.
  ModernOptionsDialog(const ModernOptions& shown, QWidget* parent);
  ModernOptions options() const;

 private:
  // Adds `control` under `caption` (with its access key), showing its value from the start.
  void addRow(const QString& caption, QWidget* control, std::function<void(ModernOptions&)> take);
  void addViewSize(const ModernOptions& shown);
  void addOriginals(const ModernOptions& shown);
  void addTitle(const ModernOptions& shown);
  void addAlbums(const ModernOptions& shown);

  QFormLayout* form_ = nullptr;
  // Each row's way of taking its control's value, in the order added.
  std::vector<std::function<void(ModernOptions&)>> takes_;
};

}  // namespace vistrel::app
