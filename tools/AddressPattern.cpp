#include "tools/AddressPattern.h"

#define PCRE2_CODE_UNIT_WIDTH 0
#include <pcre2.h>

#include <QElapsedTimer>
#include <memory>

#include "platform/EventLoop.h"

namespace tools {

namespace {

pcre2_code_16* Code(void* code) {
  return static_cast<pcre2_code_16*>(code);
}

// What PCRE2 would refuse as a subject in UTF mode: a surrogate that is not half of a pair.
// Most subjects hold none, which a loop without early exits finds fastest.
bool IsValidUtf16(QStringView text) {
  const char16_t* const begin = text.utf16();
  const char16_t* const end = begin + text.size();
  bool surrogates = false;
  for (const char16_t* p = begin; p < end; ++p) surrogates |= (*p & 0xF800) == 0xD800;
  if (!surrogates) return true;
  for (const char16_t* p = begin; p < end; ++p) {
    if ((*p & 0xF800) != 0xD800) continue;
    if (*p >= 0xDC00 || p + 1 == end || (p[1] & 0xFC00) != 0xDC00) return false;
    ++p;
  }
  return true;
}

QString ErrorMessage(int code) {
  PCRE2_UCHAR16 buffer[256];
  const int length = pcre2_get_error_message_16(code, buffer, 256);
  return length > 0 ? QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer), length)
                    : QStringLiteral("unknown error");
}

}  // namespace

struct AddressPattern::Engine {
  pcre2_match_data_16* data = nullptr;
  pcre2_match_context_16* context = nullptr;
  pcre2_jit_stack_16* stack = nullptr;
  bool jit = false;
  // The same pattern for subjects of ASCII bytes, matched without making them UTF-16 first;
  // null when it cannot be compiled or JIT-compiled that way.
  pcre2_code_8* ascii = nullptr;
  pcre2_match_data_8* asciiData = nullptr;
  pcre2_match_context_8* asciiContext = nullptr;
  pcre2_jit_stack_8* asciiStack = nullptr;
};

AddressPattern::AddressPattern(const QString& pattern) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code_16* code = pcre2_compile_16(reinterpret_cast<PCRE2_SPTR16>(pattern.utf16()), pattern.size(),
                                         PCRE2_UTF, &error, &offset, nullptr);
  if (!code) {
    m_error = ErrorMessage(error);
    return;
  }
  m_code = code;
  m_engine = new Engine;
  m_engine->jit = pcre2_jit_compile_16(code, PCRE2_JIT_COMPLETE) == 0;
  m_engine->data = pcre2_match_data_create_from_pattern_16(code, nullptr);
  // The JIT stack that QRegularExpression gives deep patterns.
  m_engine->context = pcre2_match_context_create_16(nullptr);
  m_engine->stack = pcre2_jit_stack_create_16(32 * 1024, 512 * 1024, nullptr);
  pcre2_jit_stack_assign_16(m_engine->context, nullptr, m_engine->stack);
  // On an ASCII subject a pattern matches alike whatever the width of its code units: the
  // subject's characters are the same and so are the pattern's.
  if (!m_engine->jit) return;
  const QByteArray utf8 = pattern.toUtf8();
  if (QString::fromUtf8(utf8) != pattern) return;  // a lone surrogate has no UTF-8 form
  pcre2_code_8* ascii = pcre2_compile_8(reinterpret_cast<PCRE2_SPTR8>(utf8.constData()), utf8.size(),
                                        PCRE2_UTF, &error, &offset, nullptr);
  if (!ascii || pcre2_jit_compile_8(ascii, PCRE2_JIT_COMPLETE) != 0) {
    pcre2_code_free_8(ascii);
    return;
  }
  m_engine->ascii = ascii;
  m_engine->asciiData = pcre2_match_data_create_from_pattern_8(ascii, nullptr);
  m_engine->asciiContext = pcre2_match_context_create_8(nullptr);
  m_engine->asciiStack = pcre2_jit_stack_create_8(32 * 1024, 512 * 1024, nullptr);
  pcre2_jit_stack_assign_8(m_engine->asciiContext, nullptr, m_engine->asciiStack);
}

AddressPattern::~AddressPattern() {
  if (m_engine) {
    pcre2_jit_stack_free_16(m_engine->stack);
    pcre2_match_context_free_16(m_engine->context);
    pcre2_match_data_free_16(m_engine->data);
    pcre2_jit_stack_free_8(m_engine->asciiStack);
    pcre2_match_context_free_8(m_engine->asciiContext);
    pcre2_match_data_free_8(m_engine->asciiData);
    pcre2_code_free_8(m_engine->ascii);
    delete m_engine;
  }
  pcre2_code_free_16(Code(m_code));
}

AddressPattern::Outcome AddressPattern::Matches(QStringView subject) {
  if (!m_code) return Outcome::NoMatch;
  // Neither entry is given such a subject: the JIT one would not check it, and the other
  // would fail it with a code that is no limit.
  if (!IsValidUtf16(subject)) return Outcome::NoMatch;
  const auto* text = reinterpret_cast<PCRE2_SPTR16>(subject.utf16());
  const auto length = static_cast<PCRE2_SIZE>(subject.size());
  return Result(m_engine->jit
                    ? pcre2_jit_match_16(Code(m_code), text, length, 0, 0, m_engine->data, m_engine->context)
                    : pcre2_match_16(Code(m_code), text, length, 0, PCRE2_NO_UTF_CHECK, m_engine->data,
                                     m_engine->context));
}

AddressPattern::Outcome AddressPattern::MatchesAscii(QByteArrayView subject, QString& scratch) {
  if (!m_code) return Outcome::NoMatch;
  if (!m_engine->ascii) {
    scratch = QString::fromLatin1(subject);
    return Matches(scratch);
  }
  return Result(pcre2_jit_match_8(m_engine->ascii, reinterpret_cast<PCRE2_SPTR8>(subject.data()),
                                  static_cast<PCRE2_SIZE>(subject.size()), 0, 0, m_engine->asciiData,
                                  m_engine->asciiContext));
}

AddressPattern::Outcome AddressPattern::Result(int code) {
  if (code >= 0) return Outcome::Match;
  if (code == PCRE2_ERROR_NOMATCH) return Outcome::NoMatch;
  m_error = ErrorMessage(code);
  return Outcome::GaveUp;
}

std::optional<QString> FindAll(const QPointer<platform::ListModel>& list, const FindAllHooks& hooks) {
  // Results reach the window at most this often: every hand-over redraws its list.
  constexpr qint64 kShowEveryMs = 100;
  QString text = hooks.pattern();
  auto pattern = std::make_unique<AddressPattern>(text);
  platform::ListModel::CellCopies found;
  QElapsedTimer shown;
  shown.start();
  const auto flush = [&] {
    if (found.Count() > 0 && hooks.addRows) hooks.addRows(found);
    found = platform::ListModel::CellCopies();
    shown.restart();
  };
  unsigned long long loopRuns = platform::YieldRuns();
  // The rows as they stand now: edits made while the search yields neither make it skip a
  // row nor find one twice.
  const platform::ListModel::Snapshot rows = list ? list->TakeSnapshot() : platform::ListModel::Snapshot();
  // Only the event loop can change the windows or the pattern: what they are is read again
  // after every step at which it ran.
  QString address;  // one buffer for every row's address
  for (int row = 0; row < rows.RowCount(); ++row) {
    if (!pattern->IsValid()) {
      flush();
      return pattern->ErrorText();
    }
    // Most addresses are ASCII, which is matched where the list keeps it.
    const platform::ListModel::StoredCell cell = rows.CellBytes(row, 0);
    AddressPattern::Outcome outcome;
    if (cell.form == platform::ListModel::CellForm::Ascii) {
      outcome = pattern->MatchesAscii(cell.bytes, address);
    } else {
      address.resize(0);
      rows.AppendCellText(row, 0, address);
      outcome = pattern->Matches(address);
    }
    if (outcome == AddressPattern::Outcome::GaveUp) {
      flush();
      return pattern->ErrorText() + QStringLiteral(" at line ") + QString::number(row + 1);
    }
    if (outcome == AddressPattern::Outcome::Match) rows.CopyCell(row, 0, found);
    platform::YieldToEventLoop();
    if (platform::YieldRuns() == loopRuns) continue;
    loopRuns = platform::YieldRuns();
    if (!list || (hooks.stopped && hooks.stopped())) return std::nullopt;
    if (shown.elapsed() >= kShowEveryMs) flush();
    const QString now = hooks.pattern();
    if (now != text) {
      text = now;
      pattern = std::make_unique<AddressPattern>(text);
    }
  }
  flush();
  return std::nullopt;
}

}  // namespace tools
