#include "mailing/MessageFile.h"

#include <QFile>
#include <QFileInfo>
#include <array>
#include <cerrno>

#include "platform/EventLoop.h"
#include "platform/Text.h"
#include "platform/TextStream.h"

namespace mailing {

namespace {

const QString kHtml = QStringLiteral("HTML");
const QString kPlainText = QStringLiteral("Plain Text");
constexpr QChar kCR(u'\r');

struct Entity {
  char16_t character;
  const char* entity;
};

// In the order the characters are taken.
constexpr std::array<Entity, 13> kEntities = {{
    {u'\u00E1', "&aacute;"},
    {u'\u00E9', "&eacute;"},
    {u'\u00ED', "&iacute;"},
    {u'\u00F3', "&oacute;"},
    {u'\u00FA', "&uacute;"},
    {u'\u00C1', "&Aacute;"},
    {u'\u00C9', "&Eacute;"},
    {u'\u00CD', "&Iacute;"},
    {u'\u00D3', "&Oacute;"},
    {u'\u00DA', "&Uacute;"},
    {u'\u00F1', "&ntilde;"},
    {u'\u00D1', "&Ntilde;"},
    {u'\u00A1', "&iexcl;"},
}};

// The entity that replaces a character: that of the first character of the table that
// the case-blind search takes it for (the same simple case folding); -1 for none.
int EntityOf(QChar c) {
  const char16_t folded = c.toCaseFolded().unicode();
  // Every character of the table, and everything that folds to one, folds into Latin-1.
  if (folded > 0xFF) return -1;
  for (size_t i = 0; i < kEntities.size(); ++i) {
    if (QChar(kEntities[i].character).toCaseFolded().unicode() == folded) return static_cast<int>(i);
  }
  return -1;
}

struct Opened {
  ChosenMessage::State state = ChosenMessage::State::Missing;
  std::unique_ptr<platform::TextInputStream> stream;
};

Opened OpenMessage(const platform::FolderItem& folder, const QString& name) {
  using State = ChosenMessage::State;
  if (!IsStorableMessageName(name)) return {};
  const platform::FolderItem file = folder.Child(name);
  if (file.IsNull() || !file.Exists()) return {};
  const QFileInfo info(file.AbsolutePath());
  // Only a regular file: a pipe or a device would block the window or never end.
  if (!info.isFile()) return {State::Unreadable, nullptr};
  if (info.size() > kMaxMessageFileBytes) return {State::TooLarge, nullptr};
  QFile f(file.AbsolutePath());
  if (!f.open(QIODevice::ReadOnly)) return {State::Unreadable, nullptr};
  // Bounded also when the file grows meanwhile.
  QByteArray bytes = f.read(kMaxMessageFileBytes + 1);
  if (f.error() != QFileDevice::NoError) return {State::Unreadable, nullptr};
  if (bytes.size() > kMaxMessageFileBytes) return {State::TooLarge, nullptr};
  return {State::Read, platform::TextInputStream::FromBytes(std::move(bytes))};
}

}  // namespace

platform::FolderItem MessageFolder() {
  return platform::FolderItem::GetFolderItem(QStringLiteral("eMail"));
}

bool IsStorableMessageName(const QString& name) {
  if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) return false;
  for (const QChar c : name) {
    if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) return false;
  }
  return true;
}

platform::FileResult WriteMessageFile(const platform::FolderItem& folder, const QString& name,
                                      const StoredMessage& message, bool* tooLarge) {
  if (tooLarge) *tooLarge = false;
  if (!IsStorableMessageName(name)) return platform::FileResult::FromErrno(EINVAL);
  if (folder.IsNull()) return platform::FileResult::FromErrno(ENOENT);
  // The sender and the subject are one line each: a line break in either would shift the
  // format line and the body.
  QByteArray bytes;
  for (const QString& line : {platform::OneLine(message.from), platform::OneLine(message.subject),
                              message.html ? kHtml : kPlainText}) {
    platform::AppendEncodedText(bytes, line);
    bytes += '\n';
  }
  platform::AppendEncodedText(bytes, message.body);
  if (bytes.size() > kMaxMessageFileBytes) {
    if (tooLarge) *tooLarge = true;
    return platform::FileResult::FromErrno(EFBIG);
  }
  QString reason;
  auto stream = platform::TextOutputStream::Create(folder.Child(name), &reason);
  if (!stream) return platform::FileResult::Failure(reason);
  stream->WriteWith([&bytes](QByteArray& buffer) { buffer += bytes; });
  return stream->Close();
}

bool LoadEmail(const platform::FolderItem& folder, const QString& name, QString& from, QString& subject,
               QString& body) {
  from.clear();
  subject.clear();
  const Opened opened = OpenMessage(folder, name);
  if (!opened.stream) return false;
  LoadEmail(*opened.stream, from, subject, body);
  opened.stream->Close();
  return true;
}

void LoadEmail(platform::TextInputStream& stream, QString& from, QString& subject, QString& body) {
  from.clear();
  subject.clear();
  QString format;
  body.clear();
  for (int line = 1; !stream.EOF_(); ++line) {
    const QString text = stream.ReadLine();
    if (line == 1) {
      from = text;
    } else if (line == 2) {
      subject = text;
    } else if (!format.isEmpty()) {
      body += text;
      body += kCR;
    } else {
      format += text;
    }
    platform::YieldToEventLoop();
  }
}

ChosenMessage ReadChosenMessage(const platform::FolderItem& folder, const QString& name) {
  const Opened opened = OpenMessage(folder, name);
  if (!opened.stream) {
    ChosenMessage notRead;
    notRead.state = opened.state;
    return notRead;
  }
  ChosenMessage chosen = ReadChosenMessage(*opened.stream);
  opened.stream->Close();
  return chosen;
}

ChosenMessage ReadChosenMessage(platform::TextInputStream& stream) {
  ChosenMessage chosen;
  chosen.state = ChosenMessage::State::Read;
  bool formatLineSeen = false;
  for (int line = 1; !stream.EOF_(); ++line) {
    const QString text = stream.ReadLine();
    if (line == 1) {
      chosen.from = text;
    } else if (line == 2) {
      chosen.subject = text;
    } else if (formatLineSeen) {
      chosen.body += text;
      chosen.body += kCR;
    } else {
      formatLineSeen = true;
      if (text == kHtml) {
        chosen.html = true;
      } else if (text != kPlainText) {
        chosen.body += text;
        chosen.body += kCR;
      }
    }
    platform::YieldToEventLoop();
  }
  return chosen;
}

QString ConvertHTMLTags(const QString& text, const std::function<void(const QString&)>& report) {
  std::array<qsizetype, kEntities.size()> replaced{};
  QString out;
  out.reserve(text.size());
  qsizetype copiedUpTo = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    // Everything below the table's first character passes at the cost of one test.
    if (c.unicode() < 0xA1) continue;
    const int entity = EntityOf(c);
    if (entity < 0) continue;
    out.append(QStringView(text).mid(copiedUpTo, i - copiedUpTo));
    out.append(QLatin1String(kEntities[entity].entity));
    copiedUpTo = i + 1;
    ++replaced[entity];
  }
  if (copiedUpTo == 0)
    out = text;  // nothing replaced: share the text
  else
    out.append(QStringView(text).mid(copiedUpTo));

  // The reports, in the order of the table.
  for (size_t i = 0; i < kEntities.size(); ++i) {
    if (replaced[i] == 0) continue;
    const QString line = QStringLiteral("Changing ") + QChar(kEntities[i].character) +
                         QStringLiteral(" to ") + QLatin1String(kEntities[i].entity);
    for (qsizetype n = 0; n < replaced[i]; ++n) {
      if (report) report(line);
      platform::YieldToEventLoop();
    }
  }
  return out;
}

}  // namespace mailing
