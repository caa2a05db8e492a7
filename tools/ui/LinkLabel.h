#pragma once

#include <QLabel>

// A static text that reports the pointer entering, leaving and pressing it, so its window
// can make it behave as a link. Tab reaches it and Space or Return opens it; assistive
// technology sees a link it can press.
class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

  void SetTextColor(const QColor& color);
  QColor TextColor() const;

  // What opening the link from the keyboard or through assistive technology does.
  void Open();

 signals:
  void MouseEnter();
  void MouseExit();
  void MouseDown(int x, int y);
  // The link was opened from the keyboard or through assistive technology.
  void Opened();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};
