#pragma once

#include <QByteArrayView>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <optional>

#include "platform/ListModel.h"

namespace tools {

// A regular expression of Find all: Perl syntax on Qt's engine (PCRE2, 16-bit), compiled
// with the options QRegularExpression uses by default (UTF, case-sensitive, no multi-line),
// so a pattern matches exactly what QRegularExpression would match. The engine is called
// directly with one reusable match block, since QRegularExpression allocates a match
// object per subject and a search of a million addresses then costs several times more.
class AddressPattern {
 public:
  explicit AddressPattern(const QString& pattern);
  ~AddressPattern();
  AddressPattern(const AddressPattern&) = delete;
  AddressPattern& operator=(const AddressPattern&) = delete;

  bool IsValid() const { return m_code != nullptr; }
  // The engine's words for a pattern it rejects, or for the subject it last gave up on;
  // empty when it accepted the pattern and has given up on none.
  QString ErrorText() const { return m_error; }

  // GaveUp: the engine stopped before it knew (its match limit, depth limit, heap limit
  // or JIT stack ran out on a pattern that backtracks), so the subject may well match.
  enum class Outcome { NoMatch, Match, GaveUp };
  // Whether the pattern occurs anywhere in the subject (not only as the whole of it). A
  // subject that is not valid UTF-16 (a lone surrogate) matches nothing, as with Qt.
  Outcome Matches(QStringView subject);
  // The same for a subject of ASCII bytes (each below 0x80). `scratch` is a buffer the
  // call may use.
  Outcome MatchesAscii(QByteArrayView subject, QString& scratch);

 private:
  Outcome Result(int code);

  struct Engine;
  void* m_code = nullptr;
  Engine* m_engine = nullptr;
  QString m_error;
};

struct FindAllHooks {
  // The pattern's text; read at the start and again whenever the event loop has run.
  std::function<QString()> pattern;
  // Takes the matching addresses found since the last call, in list order (as the list
  // stores them, for AppendFirstCells).
  std::function<void(const platform::ListModel::CellCopies& addresses)> addRows;
  // True once the search should end (its windows have gone).
  std::function<bool()> stopped;
};

// Find all: every address of the list (column 0) that the pattern matches somewhere,
// handed to addRows in order. The event loop runs as rows are searched; the rows searched
// are those of the list when the search began, whatever is edited meanwhile. Returns the
// engine's message when it rejects the pattern, which only a search of at least one row
// finds out, or when it gives up on a row: the search ends there, with the rows before it
// handed over, so no row that may match is left out unsaid.
std::optional<QString> FindAll(const QPointer<platform::ListModel>& list, const FindAllHooks& hooks);

}  // namespace tools
