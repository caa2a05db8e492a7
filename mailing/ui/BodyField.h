#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <optional>

// The send window's body field. A stored message may hold a line of thousands or millions
// of characters (an HTML body on one line, a block of base64): the field shows it without
// holding the window for long, and gives back the text it was given.
//
// Text layout breaks an unbroken run of characters at the word boundaries it cannot find
// once per line of the run, which grows with the square of the run; so a body with a line
// longer than a few thousand characters is broken anywhere instead. A line too long to lay
// out at once even so is shown broken into parts, and the body is then read-only and kept
// as it was given.
class BodyField : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit BodyField(QWidget* parent);

  // The body as the program keeps it, a carriage return between lines. Characters that a
  // plain-text copy of a text field changes (a no-break space, a line separator) stand as
  // they were typed or read.
  QString Text() const;

  // Shows a body whose lines end with CR, LF or CR LF. A long body goes in a part at a
  // time, read-only meanwhile, with the event loop run between the parts. False when the
  // field is gone, or another body was given meanwhile, before this one was in.
  bool Show(const QString& body);
  // Whether the body given last is too long to edit and is shown broken into parts.
  bool ShownBroken() const { return m_kept.has_value(); }

 protected:
  // Pasted or dropped text that makes a line too long for word wrap breaks lines anywhere.
  void insertFromMimeData(const QMimeData* source) override;

 private:
  const QTextOption::WrapMode m_wordWrap;
  const bool m_centerOnScroll;
  std::optional<QString> m_kept;
};
