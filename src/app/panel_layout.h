#pragma once
// What the window's frame and its panels share when they place their controls: positions in
// twips, fonts in points, colours of the original design.

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <filesystem>

#include "app/toolkit/controls.h"

namespace vistrel::app {

inline const QColor kNavy(0x00, 0x00, 0x80);
inline const QColor kBlue(0x00, 0x00, 0xFF);

// Places `w` at a rectangle given in its parent's twips.
void place(QWidget* w, double left, double top, double width, double height);

QFont fontAt(const QFont& base, double points, bool bold = false, bool underline = false);

// &H80000002 (active title bar) and &H80000009 (title bar text) on our palette.
QColor titleBarColor(const QWidget* w);
QColor titleTextColor(const QWidget* w);
// What see-through GIF pixels are laid on, in the preview and the thumbnails alike: the
// background of text boxes and lists on our palette, as 0xRRGGBB.
uint32_t gifBackground(const QWidget* w);

// A caption placed in twips, aligned to its top.
toolkit::Label* label(QWidget* parent, const QString& caption, double l, double t, double w,
                      double h, Qt::Alignment align = Qt::AlignLeft);

std::filesystem::path fsPath(const QString& path);

}  // namespace vistrel::app
