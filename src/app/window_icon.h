#pragma once
// The window's own 32 x 32 icon, drawn in code: a framed picture of hills under a sun.

#include <QPixmap>

namespace vistrel::app {

QPixmap windowIcon();

}  // namespace vistrel::app
