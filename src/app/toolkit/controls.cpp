#include "app/toolkit/controls.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

namespace vistrel::toolkit {

Label::Label(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void Label::setBoxed(bool boxed) {
  setFrameStyle(boxed ? (QFrame::Panel | QFrame::Sunken) : QFrame::NoFrame);
  setLineWidth(1);
}

void Label::setTextColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, color);
  setPalette(p);
}

void Label::setBackColor(const QColor& color) {
  QPalette p = palette();
  p.setColor(QPalette::Window, color);
  setPalette(p);
  setAutoFillBackground(true);
}

void Label::shrinkToFit(double minPoints) {
  QFont f = font();
  const QRectF room = contentsRect();
  const int flags = static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0);
  while (f.pointSizeF() > minPoints) {
    const QFontMetricsF metrics(f);
    const QRectF need = metrics.boundingRect(room, flags, text());
    // One line is never made smaller for height: only the line's leading would be cut.
    const bool oneLine = need.height() <= metrics.lineSpacing() + 0.5;
    if (need.width() <= room.width() && (oneLine || need.height() <= room.height())) {
      break;
    }
    f.setPointSizeF(f.pointSizeF() - 0.25);
  }
  setFont(f);
}

void Label::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (rect().contains(event->position().toPoint())) {
    emit MouseUp(event->button());
  }
}

TextBox::TextBox(const QString& text, QWidget* parent) : QLineEdit(text, parent) {}

void TextBox::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (event->reason() != Qt::PopupFocusReason) {
    clickGaveFocus_ = event->reason() == Qt::MouseFocusReason;
    selectAll();
    emit GotFocus();
  }
}

void TextBox::mousePressEvent(QMouseEvent* event) {
  if (clickGaveFocus_ && event->button() == Qt::LeftButton) {
    event->accept();  // the press that gave the focus keeps the whole text selected
    return;
  }
  clickGaveFocus_ = false;
  QLineEdit::mousePressEvent(event);
}

void TextBox::mouseMoveEvent(QMouseEvent* event) {
  if (!clickGaveFocus_) {
    QLineEdit::mouseMoveEvent(event);
  }
}

void TextBox::mouseReleaseEvent(QMouseEvent* event) {
  if (clickGaveFocus_) {
    clickGaveFocus_ = false;
    event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(event);
}

void TextBox::focusOutEvent(QFocusEvent* event) {
  clickGaveFocus_ = false;
  QLineEdit::focusOutEvent(event);
  if (event->reason() != Qt::PopupFocusReason) {
    emit LostFocus();
  }
}

SpinControl::SpinControl(QWidget* parent) : QAbstractSlider(parent) {
  setOrientation(Qt::Vertical);
  // As a vertical scroll bar: the smaller value is at the top, so Down raises it.
  setInvertedControls(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimum(0);
  setMaximum(100);
}

QSize SpinControl::sizeHint() const {
  return {17, 17};
}

QAbstractSlider::SliderAction SpinControl::actionAt(const QPoint& pos) const {
  return pos.y() < height() / 2 ? SliderSingleStepSub : SliderSingleStepAdd;
}

void SpinControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int half = height() / 2;
  const QRect arrows[2] = {QRect(0, 0, width(), half), QRect(0, half, width(), height() - half)};
  for (int i = 0; i < 2; ++i) {
    const SliderAction action = i == 0 ? SliderSingleStepSub : SliderSingleStepAdd;
    QStyleOptionButton button;
    button.initFrom(this);
    button.rect = arrows[i];
    button.state |= QStyle::State_Raised;
    if (pressed_ == action && isEnabled()) {
      button.state |= QStyle::State_Sunken;
      button.state &= ~QStyle::State_Raised;
    }
    style()->drawPrimitive(QStyle::PE_PanelButtonBevel, &button, &painter, this);
    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = arrows[i].adjusted(3, 1, -3, -1);
    style()->drawPrimitive(i == 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown,
                           &arrow, &painter, this);
  }
  if (hasFocus()) {
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(1, 1, -1, -1);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
  }
}

void SpinControl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->ignore();
    return;
  }
  pressed_ = actionAt(event->position().toPoint());
  triggerAction(pressed_);
  // Holding an arrow down repeats it, as a scroll bar does.
  setRepeatAction(pressed_, 400, 60);
  update();
}

void SpinControl::mouseReleaseEvent(QMouseEvent*) {
  pressed_ = SliderNoAction;
  setRepeatAction(SliderNoAction);
  update();
}

}  // namespace vistrel::toolkit
