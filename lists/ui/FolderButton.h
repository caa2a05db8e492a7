#pragma once

#include <QString>
#include <QWidget>

// One button of the list side bar: a drawn label for one address list, highlighted when
// it stands for the open list. Tab reaches it; Space or Return presses it.
class FolderButton : public QWidget {
  Q_OBJECT
 public:
  explicit FolderButton(QWidget* parent = nullptr);

  QString FolderName;
  bool Selected = false;

  // What a press from the keyboard or through assistive technology does: the same as a
  // click inside.
  void Press();

 signals:
  // The mouse was released inside the button after a press on it.
  void MouseUp(int x, int y);
  // The button was pressed from the keyboard or through assistive technology.
  void Pressed();
  // The focus came to the button, for this reason (the side bar scrolls it into sight).
  void FocusIn(Qt::FocusReason reason);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};
