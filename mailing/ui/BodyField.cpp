#include "mailing/ui/BodyField.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>

#include "platform/EventLoop.h"
#include "platform/LongWork.h"

namespace {

// Lines up to this long keep word wrap: one that no word boundary breaks takes about 2 ms
// to lay out.
constexpr qsizetype kWordWrapLimit = 4096;
// Lines up to this long are laid out whole, in well under a second; a longer one is shown
// in parts of kShownPart characters, each laid out only when it is scrolled into view.
constexpr qsizetype kLongestLaidOutLine = qsizetype(1) << 20;
constexpr qsizetype kShownPart = qsizetype(1) << 16;
// The text put in at least between two runs of the event loop (whole lines): a few
// milliseconds of work.
constexpr qsizetype kPartPerTurn = qsizetype(1) << 16;

bool IsLineEnd(QChar c) {
  return c == u'\r' || c == u'\n';
}

qsizetype LongestLine(QStringView text) {
  qsizetype longest = 0, run = 0;
  for (const QChar c : text) {
    run = IsLineEnd(c) ? 0 : run + 1;
    longest = std::max(longest, run);
  }
  return longest;
}

// The text with a line break after every kShownPart characters of a line (never between
// the two halves of a character).
QString BrokenIntoParts(QStringView text) {
  QString broken;
  broken.reserve(text.size() + text.size() / kShownPart + 1);
  qsizetype lineStart = 0;
  for (qsizetype i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !IsLineEnd(text[i])) continue;
    for (qsizetype at = lineStart;;) {
      qsizetype cut = std::min(i, at + kShownPart);
      if (cut < i && text[cut].isLowSurrogate()) --cut;
      broken += text.sliced(at, cut - at);
      if (cut == i) break;
      broken += u'\n';
      at = cut;
    }
    if (i < text.size()) broken += text[i];
    lineStart = i + 1;
  }
  return broken;
}

}  // namespace

BodyField::BodyField(QWidget* parent)
    : QPlainTextEdit(parent), m_wordWrap(wordWrapMode()), m_centerOnScroll(centerOnScroll()) {
  // A text set from outside (not by Show) is the body from then on.
  connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (platform::LongWork::IsBusy(this, platform::LongWork::Loading) || !m_kept) return;
    m_kept.reset();
    setReadOnly(false);
  });
}

QString BodyField::Text() const {
  if (m_kept) return *m_kept;
  QString text = document()->toRawText();
  text.replace(QChar::ParagraphSeparator, u'\r');
  return text;
}

bool BodyField::Show(const QString& body) {
  const platform::LongWork showing(this, platform::LongWork::Loading);
  const qsizetype longest = LongestLine(body);
  m_kept.reset();
  if (longest > kLongestLaidOutLine) m_kept = body;
  const QString shown = m_kept ? BrokenIntoParts(body) : body;
  setReadOnly(true);
  setWordWrapMode(longest > kWordWrapLimit ? QTextOption::WrapAnywhere : m_wordWrap);
  // No undo step for each part: a body shown has no history, as a text set at once.
  document()->setUndoRedoEnabled(false);
  clear();
  // The scroll bar's range is worked out from the last lines, which it lays out anew after
  // each part; centred on scroll, it takes the line count instead.
  setCenterOnScroll(true);
  QTextCursor end(document());
  for (qsizetype at = 0; at < shown.size();) {
    // Whole lines, and a CR LF never cut in two: each would end a line of its own.
    qsizetype cut = std::min(shown.size(), at + kPartPerTurn);
    while (cut < shown.size() && !IsLineEnd(shown[cut - 1])) ++cut;
    if (cut < shown.size() && shown[cut - 1] == u'\r' && shown[cut] == u'\n') ++cut;
    end.movePosition(QTextCursor::End);
    end.insertText(shown.sliced(at, cut - at));
    at = cut;
    if (at == shown.size()) break;
    platform::YieldToEventLoop();
    if (showing.Stopped()) return false;
  }
  document()->setUndoRedoEnabled(true);
  setCenterOnScroll(m_centerOnScroll);
  setReadOnly(m_kept.has_value());
  moveCursor(QTextCursor::Start);
  return true;
}

void BodyField::insertFromMimeData(const QMimeData* source) {
  if (source->hasText() && wordWrapMode() != QTextOption::WrapAnywhere &&
      textCursor().block().length() + LongestLine(source->text()) > kWordWrapLimit) {
    setWordWrapMode(QTextOption::WrapAnywhere);
  }
  QPlainTextEdit::insertFromMimeData(source);
}
