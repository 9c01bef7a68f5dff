#include "app/panel_layout.h"

#include "app/toolkit/twips.h"

namespace vistrel::app {
using toolkit::Label;
using toolkit::twipsRect;

void place(QWidget* w, double left, double top, double width, double height) {
  w->setGeometry(twipsRect(left, top, width, height));
}

QFont fontAt(const QFont& base, double points, bool bold, bool underline) {
  QFont f = base;
  f.setPointSizeF(points);
  f.setBold(bold);
  f.setUnderline(underline);
  return f;
}

QColor titleBarColor(const QWidget* w) {
  return w->palette().color(QPalette::Highlight);
}

QColor titleTextColor(const QWidget* w) {
  return w->palette().color(QPalette::HighlightedText);
}

uint32_t gifBackground(const QWidget* w) {
  return w->palette().color(QPalette::Base).rgb() & 0xFFFFFF;
}

Label* label(QWidget* parent, const QString& caption, double l, double t, double w, double h,
             Qt::Alignment align) {
  auto* lab = new Label(caption, parent);
  place(lab, l, t, w, h);
  lab->setAlignment(align | Qt::AlignTop);
  return lab;
}

std::filesystem::path fsPath(const QString& path) {
  return std::filesystem::path(path.toStdString());
}

}  // namespace vistrel::app
