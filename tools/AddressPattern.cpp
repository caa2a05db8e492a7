#include "tools/AddressPattern.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <QElapsedTimer>
#include <memory>

#include "platform/EventLoop.h"

namespace tools {

namespace {

pcre2_code* Code(void* code) {
  return static_cast<pcre2_code*>(code);
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

}  // namespace

struct AddressPattern::Engine {
  pcre2_match_data* data = nullptr;
  pcre2_match_context* context = nullptr;
  pcre2_jit_stack* stack = nullptr;
  bool jit = false;
};

AddressPattern::AddressPattern(const QString& pattern) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.utf16()), pattern.size(), PCRE2_UTF,
                                   &error, &offset, nullptr);
  if (!code) {
    PCRE2_UCHAR buffer[256];
    const int length = pcre2_get_error_message(error, buffer, 256);
    m_error = length > 0 ? QString::fromUtf16(reinterpret_cast<const char16_t*>(buffer), length)
                         : QStringLiteral("unknown error");
    return;
  }
  m_code = code;
  m_engine = new Engine;
  m_engine->jit = pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) == 0;
  m_engine->data = pcre2_match_data_create_from_pattern(code, nullptr);
  // The JIT stack that QRegularExpression gives deep patterns.
  m_engine->context = pcre2_match_context_create(nullptr);
  m_engine->stack = pcre2_jit_stack_create(32 * 1024, 512 * 1024, nullptr);
  pcre2_jit_stack_assign(m_engine->context, nullptr, m_engine->stack);
}

AddressPattern::~AddressPattern() {
  if (m_engine) {
    pcre2_jit_stack_free(m_engine->stack);
    pcre2_match_context_free(m_engine->context);
    pcre2_match_data_free(m_engine->data);
    delete m_engine;
  }
  pcre2_code_free(Code(m_code));
}

bool AddressPattern::Matches(QStringView subject) const {
  if (!m_code) return false;
  const auto* text = reinterpret_cast<PCRE2_SPTR>(subject.utf16());
  const auto length = static_cast<PCRE2_SIZE>(subject.size());
  if (m_engine->jit) {
    // The JIT entry skips the engine's own check of the subject.
    if (!IsValidUtf16(subject)) return false;
    return pcre2_jit_match(Code(m_code), text, length, 0, 0, m_engine->data, m_engine->context) >= 0;
  }
  return pcre2_match(Code(m_code), text, length, 0, 0, m_engine->data, m_engine->context) >= 0;
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
    address.resize(0);
    rows.AppendCellText(row, 0, address);
    if (pattern->Matches(address)) rows.CopyCell(row, 0, found);
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
