#pragma once
// The small controls of the window on Qt widgets: a label that repaints at once, a text box that
// reports getting and losing the focus, and a spin control (two stacked arrows over a value).

#include <QAbstractSlider>
#include <QLabel>
#include <QLineEdit>

namespace vistrel::toolkit {

// A caption. Refresh() repaints it at once, also while the caller keeps the event loop waiting.
class Label : public QLabel {
  Q_OBJECT
 public:
  explicit Label(const QString& caption = {}, QWidget* parent = nullptr);
  QString Caption() const { return text(); }
  void setCaption(const QString& caption) { setText(caption); }
  void Refresh() { repaint(); }
  // A sunken box around the caption.
  void setBoxed(bool boxed);
  void setTextColor(const QColor& color);
  void setBackColor(const QColor& color);
  // Steps the font down (not below `minPoints`) until the caption fits the label, for fonts
  // wider than the one the layout was drawn for.
  void shrinkToFit(double minPoints = 6.0);

 signals:
  // A mouse button was released over the label.
  void MouseUp(Qt::MouseButton button);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// A text box whose getting the focus selects its whole text, so typing replaces it; also when a
// mouse click gave the focus, which would otherwise put the cursor where it landed.
class TextBox : public QLineEdit {
  Q_OBJECT
 public:
  explicit TextBox(const QString& text = {}, QWidget* parent = nullptr);

 signals:
  void GotFocus();
  // Not raised when only a menu of the box itself took the focus for a moment.
  void LostFocus();

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool clickGaveFocus_ = false;  // from the focusing press until its release
};

// A vertical scroll bar as tall as its two arrows. Value runs from minimum() (top) to maximum();
// the lower arrow and the Down and Page Down keys raise it, the upper arrow and Up and Page Up
// lower it. valueChanged(), the Change event, is raised only when the value really changes.
class SpinControl : public QAbstractSlider {
  Q_OBJECT
 public:
  explicit SpinControl(QWidget* parent = nullptr);
  QSize sizeHint() const override;
  // The arrow under a point in widget coordinates: SliderSingleStepSub (upper),
  // SliderSingleStepAdd (lower).
  SliderAction actionAt(const QPoint& pos) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  SliderAction pressed_ = SliderNoAction;
};

}  // namespace vistrel::toolkit
