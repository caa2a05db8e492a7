#pragma once

#include <QLabel>

// The main window's status line: one line of text that assistive technology knows as the
// window's status bar. It is read by its text, and each new text is announced.
class StatusLine : public QLabel {
  Q_OBJECT
 public:
  explicit StatusLine(const QString& text, QWidget* parent = nullptr);
};
