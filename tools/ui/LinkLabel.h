#pragma once

#include <QLabel>

// A static text that reports the pointer entering, leaving and pressing it, so its window
// can make it behave as a link.
class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

  void SetTextColor(const QColor& color);
  QColor TextColor() const;

 signals:
  void MouseEnter();
  void MouseExit();
  void MouseDown(int x, int y);

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
};
