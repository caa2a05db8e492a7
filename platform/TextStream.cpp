#include "platform/TextStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/TemporarySaveName.h"
#include "platform/Text.h"

namespace platform {

// ---- Reading ------------------------------------------------------------------------

namespace {

TextInputStream::DeviceFactory& ReadFactoryForTests() {
  static TextInputStream::DeviceFactory factory;
  return factory;
}

}  // namespace

TextInputStream::TextInputStream(QByteArray bytes) : m_bytes(std::move(bytes)) {}

std::unique_ptr<QIODevice> TextInputStream::OpenDevice(const FolderItem& file, QString* reason) {
  // Only regular files (or links to them): a dropped pipe or device would block the
  // program or never end.
  if (file.IsNull() || !QFileInfo(file.AbsolutePath()).isFile()) return nullptr;
  std::unique_ptr<QIODevice> device = ReadFactoryForTests() ? ReadFactoryForTests()(file.AbsolutePath())
                                                            : std::make_unique<QFile>(file.AbsolutePath());
  if (!device) return nullptr;
  if (!device->isOpen() && !device->open(QIODevice::ReadOnly)) {
    if (reason) *reason = device->errorString();
    return nullptr;
  }
  return device;
}

std::unique_ptr<TextInputStream> TextInputStream::Open(const FolderItem& file, QString* reason) {
  const std::unique_ptr<QIODevice> device = OpenDevice(file, reason);
  if (!device) return nullptr;
  constexpr qint64 kPiece = 1 << 16;
  QByteArray bytes;
  for (qint64 read = kPiece; read > 0;) {
    const qsizetype at = bytes.size();
    bytes.resize(at + kPiece);
    read = device->read(bytes.data() + at, kPiece);
    if (read < 0) {
      // A file read in part is no file read: its lines would stand for the whole.
      if (reason) *reason = device->errorString();
      return nullptr;
    }
    bytes.resize(at + read);
  }
  return std::unique_ptr<TextInputStream>(new TextInputStream(std::move(bytes)));
}

void TextInputStream::SetDeviceFactoryForTests(DeviceFactory factory) {
  ReadFactoryForTests() = std::move(factory);
}

std::unique_ptr<TextInputStream> TextInputStream::FromBytes(QByteArray bytes) {
  return std::unique_ptr<TextInputStream>(new TextInputStream(std::move(bytes)));
}

QString TextInputStream::ReadLine() {
  const qsizetype size = m_bytes.size();
  if (m_pos >= size) return QString();
  const char* data = m_bytes.constData();
  const char* start = data + m_pos;
  const char* const end = data + size;
  // One pass for either line end: a file with CR line ends only must not be rescanned to
  // its end for an LF on every line.
  const char* lineEnd = start;
  while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r') ++lineEnd;
  QString line = DecodeBytes(QByteArrayView(start, lineEnd - start));
  qsizetype next = lineEnd - data;
  if (lineEnd < end) {
    next += (*lineEnd == '\r' && lineEnd + 1 < end && lineEnd[1] == '\n') ? 2 : 1;
  }
  m_pos = next;
  return line;
}

QString TextInputStream::ReadAll() {
  const qsizetype size = m_bytes.size();
  if (m_pos >= size) return QString();
  QString rest = DecodeBytes(QByteArrayView(m_bytes.constData() + m_pos, size - m_pos));
  m_pos = size;
  return rest;
}

bool TextInputStream::EOF_() const {
  return m_pos >= m_bytes.size();
}

void TextInputStream::Close() {
  m_bytes = QByteArray();
  m_pos = 0;
}

// ---- Writing ------------------------------------------------------------------------

namespace {

TextOutputStream::DeviceFactory& FactoryForTests() {
  static TextOutputStream::DeviceFactory factory;
  return factory;
}

constexpr QIODevice::OpenModeFlag kUnbuffered = QIODevice::Unbuffered;
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

std::unique_ptr<QIODevice> OpenNewFile(const QString& path, bool ownerOnly, QString& reason) {
  auto file = std::make_unique<QFile>(path);
  const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::NewOnly;
  if (!(ownerOnly ? file->open(mode, kOwnerOnly) : file->open(mode))) {
    reason = file->errorString();
    return nullptr;
  }
  return file;
}

// Nothing, with the reason for it where the caller wants one.
std::unique_ptr<TextOutputStream> Refused(QString* reason, const QString& why) {
  if (reason) *reason = why.isEmpty() ? SystemReason(EIO) : why;
  return nullptr;
}

// The real file a path names: links are followed to the end of the chain, as opening the
// path would, so that saving replaces the file they point to rather than a link.
QString ResolveTarget(const QString& path) {
  constexpr int kMaxLinks = 40;  // the kernel's own limit; a loop of links stops here
  QString current = path;
  for (int link = 0; link < kMaxLinks; ++link) {
    const QFileInfo info(current);
    if (!info.isSymLink()) break;
    QString target = info.symLinkTarget();  // one link further, as an absolute path
    if (target.isEmpty()) break;
    current = std::move(target);
  }
  return current;
}

// The part of the target's name that goes into the temporary name. A name may take 255
// bytes and the temporary name adds some 30, so the target's name is cut to 200 bytes
// (not characters: one may take four), never between the halves of a character.
QString NameForTemporary(const QString& targetName) {
  constexpr qsizetype kMaxBytes = 200;
  QString cut = targetName;
  while (QFile::encodeName(cut).size() > kMaxBytes) {
    cut.chop(cut.size() >= 2 && cut.back().isLowSurrogate() ? 2 : 1);
  }
  return cut;
}

void SyncFolderOf(const QString& path) {
  const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Whether the path names an existing item that is not a regular file (a pipe, a device, a
// socket, a folder): such an item is never written, since a write into a pipe or a device
// may block for ever and replacing one destroys what is not a list.
bool IsOtherThanRegularFile(const QByteArray& path) {
  struct stat info {};
  return ::stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode);
}

}  // namespace

struct TextOutputStream::Impl {
  enum class Mode { Replace, Append };
  Mode mode = Mode::Replace;
  QString target;
  QString tempPath;
  std::unique_ptr<QIODevice> device;
  // The file's descriptor when the stream opened the device itself (not through the tests'
  // factory): bytes go to it straight, since a buffered QFile reports a write that stops
  // part way (a full disk) as "Unknown error" rather than the system's reason. Devices from
  // the factory are opened unbuffered for the same reason.
  int fd = -1;
  QByteArray buffer;
  bool failed = false;
  QString reason;  // the system's words for the first failure
  bool closed = false;
  bool ownerOnly = false;  // mode 0600 whatever the replaced file's mode
  // Append: the file's length before, and whether the stream created it. A failed append
  // is taken back to that, so the file never keeps part of the lines.
  off_t appendFrom = 0;
  bool createdByAppend = false;

  // Only the first failure is kept: what follows it is mostly its consequence.
  void Fail(const QString& why) {
    if (!failed) reason = why;
    failed = true;
  }

  FileResult Result() const { return failed ? FileResult::Failure(reason) : FileResult::Success(); }

  void Flush() {
    if (buffer.isEmpty() || failed) return;
    const char* data = buffer.constData();
    qsizetype left = buffer.size();
    while (left > 0) {
      const qint64 written =
          fd >= 0 ? ::write(fd, data, static_cast<size_t>(left)) : device->write(data, left);
      if (written < 0 && fd >= 0 && errno == EINTR) continue;
      if (written <= 0) {
        Fail(fd < 0 ? device->errorString() : SystemReason(written < 0 ? errno : EIO));
        break;
      }
      data += written;
      left -= written;
    }
    buffer.resize(0);  // keeps the capacity for the next lines
  }

  void Add(const QString& text, bool lineEnd) {
    // After a failed write nothing more reaches the file; Flush would keep the bytes, and
    // the rest of a million-line save would pile up in memory.
    if (closed || failed) return;
    AppendEncodedText(buffer, text);
    if (lineEnd) buffer.append('\n');
    if (buffer.size() >= TextOutputStream::kBufferBytes) Flush();
  }

  // Flushes, forces the bytes to disk and closes the device; false on any failure, after
  // which an appended file is as it was.
  bool FinishDevice() {
    Flush();
    if (auto* file = qobject_cast<QFileDevice*>(device.get())) {
      if (!file->flush()) Fail(file->errorString());
      if (!failed && file->handle() >= 0 && ::fsync(file->handle()) != 0) Fail(SystemReason(errno));
      file->close();
      if (file->error() != QFileDevice::NoError) Fail(file->errorString());
    } else if (device) {
      device->close();
    }
    if (failed && mode == Mode::Append) TakeBackAppend();
    return !failed;
  }

  void TakeBackAppend() const {
    const QByteArray path = QFile::encodeName(target);
    if (createdByAppend) {
      ::unlink(path.constData());
    } else {
      // Cutting a file shorter never needs room on the disk.
      (void)::truncate(path.constData(), appendFrom);
    }
  }

  void DiscardTemp() {
    if (device) device->close();
    if (!tempPath.isEmpty()) QFile::remove(tempPath);
  }
};

TextOutputStream::TextOutputStream(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

std::unique_ptr<TextOutputStream> TextOutputStream::Create(const FolderItem& file, QString* reason) {
  return CreateReplacing(file, false, reason);
}

std::unique_ptr<TextOutputStream> TextOutputStream::CreatePrivate(const FolderItem& file, QString* reason) {
  return CreateReplacing(file, true, reason);
}

std::unique_ptr<TextOutputStream> TextOutputStream::CreateReplacing(const FolderItem& file, bool ownerOnly,
                                                                    QString* reason) {
  if (file.IsNull()) return Refused(reason, SystemReason(ENOENT));
  if (file.Directory()) return Refused(reason, SystemReason(EISDIR));
  auto impl = std::make_unique<Impl>();
  impl->mode = Impl::Mode::Replace;
  impl->ownerOnly = ownerOnly;
  impl->target = ResolveTarget(file.AbsolutePath());
  if (IsOtherThanRegularFile(QFile::encodeName(impl->target))) return Refused(reason, NotARegularFile());
  const QFileInfo targetInfo(impl->target);
  const QString folder = targetInfo.absolutePath();
  const QString name = NameForTemporary(targetInfo.fileName());
  // A fresh name beside the target, so the final rename stays within one file system.
  QString why;
  for (int attempt = 0; attempt < 16 && !impl->device; ++attempt) {
    const QString unique = QString::number(QRandomGenerator::global()->generate(), 36);
    const QString candidate = folder + QLatin1Char('/') + TemporarySaveName(name, unique);
    if (QFileInfo::exists(candidate)) {
      why = SystemReason(EEXIST);
      continue;
    }
    impl->device = FactoryForTests() ? FactoryForTests()(candidate) : OpenNewFile(candidate, ownerOnly, why);
    if (impl->device) {
      impl->tempPath = candidate;
      if (!FactoryForTests()) impl->fd = static_cast<QFile*>(impl->device.get())->handle();
      if (!impl->device->isOpen() && !impl->device->open(QIODevice::WriteOnly | kUnbuffered)) {
        why = impl->device->errorString();
        impl->DiscardTemp();
        return Refused(reason, why);
      }
    } else if (!QFileInfo(folder).isWritable()) {
      break;
    }
  }
  if (!impl->device) return Refused(reason, why);
  return std::unique_ptr<TextOutputStream>(new TextOutputStream(std::move(impl)));
}

std::unique_ptr<TextOutputStream> TextOutputStream::Append(const FolderItem& file, QString* reason) {
  if (file.IsNull()) return Refused(reason, SystemReason(ENOENT));
  if (file.Directory()) return Refused(reason, SystemReason(EISDIR));
  auto impl = std::make_unique<Impl>();
  impl->mode = Impl::Mode::Append;
  impl->target = ResolveTarget(file.AbsolutePath());
  const QByteArray path = QFile::encodeName(impl->target);
  // Without O_NONBLOCK, opening a pipe that nobody reads waits for ever; what opens is then
  // taken only when it is a regular file.
  constexpr int kFlags = O_APPEND | O_NONBLOCK | O_CLOEXEC;
  int fd = ::open(path.constData(), O_RDWR | kFlags);
  // A file that may be written but not read: append without looking at its end.
  bool readable = fd >= 0;
  if (fd < 0 && errno == EACCES) fd = ::open(path.constData(), O_WRONLY | kFlags);
  if (fd < 0 && errno == ENOENT) {
    fd = ::open(path.constData(), O_RDWR | O_CREAT | O_EXCL | kFlags, 0666);
    readable = impl->createdByAppend = fd >= 0;
  }
  if (fd < 0) return Refused(reason, SystemReason(errno));
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    const QString why = S_ISREG(info.st_mode) ? SystemReason(errno) : NotARegularFile();
    ::close(fd);
    return Refused(reason, why);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  impl->appendFrom = info.st_size;
  // A file edited by hand may end without a line end; the first appended line must not
  // run on into its last line (two addresses would become one).
  char last = 0;
  if (info.st_size > 0 && readable && ::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n' &&
      last != '\r') {
    impl->buffer.append('\n');
  }
  constexpr QIODevice::OpenMode kMode = QIODevice::WriteOnly | QIODevice::Append;
  QString why;
  if (FactoryForTests()) {
    ::close(fd);
    impl->device = FactoryForTests()(impl->target);
    if (impl->device && !impl->device->isOpen() && !impl->device->open(kMode | kUnbuffered)) {
      why = impl->device->errorString();
      impl->device.reset();
    }
  } else {
    auto qfile = std::make_unique<QFile>(impl->target);
    if (qfile->open(fd, kMode, QFileDevice::AutoCloseHandle)) {
      impl->device = std::move(qfile);
      impl->fd = fd;
    } else {
      why = qfile->errorString();
      ::close(fd);
    }
  }
  if (!impl->device) {
    if (impl->createdByAppend) ::unlink(path.constData());
    return Refused(reason, why);
  }
  return std::unique_ptr<TextOutputStream>(new TextOutputStream(std::move(impl)));
}

TextOutputStream::~TextOutputStream() {
  if (!m_impl || m_impl->closed) return;
  if (m_impl->mode == Impl::Mode::Append) {
    // What was appended cannot be taken back; keep it rather than drop buffered lines.
    m_impl->FinishDevice();
  } else {
    m_impl->DiscardTemp();
  }
}

void TextOutputStream::Write(const QString& text) {
  m_impl->Add(text, false);
}

void TextOutputStream::WriteLine(const QString& text) {
  m_impl->Add(text, true);
}

QByteArray* TextOutputStream::BufferForWriting() {
  // After a failed write nothing more reaches the file (see Impl::Add).
  if (m_impl->closed || m_impl->failed) return nullptr;
  return &m_impl->buffer;
}

void TextOutputStream::Written() {
  if (m_impl->buffer.size() >= TextOutputStream::kBufferBytes) m_impl->Flush();
}

FileResult TextOutputStream::Close() {
  Impl& impl = *m_impl;
  if (impl.closed) return impl.Result();
  impl.closed = true;
  const bool written = impl.FinishDevice();
  if (impl.mode == Impl::Mode::Append) return impl.Result();
  if (!written) {
    impl.DiscardTemp();
    return impl.Result();
  }
  // Keep the owner and the permissions of the file being replaced: saved by root, a user's
  // list would otherwise become root's, and the user could no longer save it. The owner
  // first, since changing it may clear the set-id bits. Only root (or a member of the file's
  // group, for the group) may give a file away; anyone else saves their own files anyway.
  // An owner-only file gets mode 0600 whatever the replaced file's mode was.
  struct stat old {};
  const QByteArray targetName = QFile::encodeName(impl.target);
  const QByteArray tempName = QFile::encodeName(impl.tempPath);
  const bool replacing = ::stat(targetName.constData(), &old) == 0;
  if (replacing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    (void)::chown(tempName.constData(), old.st_uid, old.st_gid);
  }
  if (impl.ownerOnly) {
    if (::chmod(tempName.constData(), S_IRUSR | S_IWUSR) != 0) {
      impl.Fail(SystemReason(errno));
      impl.DiscardTemp();
      return impl.Result();
    }
  } else if (replacing) {
    ::chmod(tempName.constData(), old.st_mode & 07777);
  }
  if (std::rename(tempName.constData(), targetName.constData()) != 0) {
    impl.Fail(SystemReason(errno));
    impl.DiscardTemp();
    return impl.Result();
  }
  SyncFolderOf(impl.target);
  return FileResult::Success();
}

bool TextOutputStream::Failed() const {
  return m_impl->failed;
}

void TextOutputStream::SetDeviceFactoryForTests(DeviceFactory factory) {
  FactoryForTests() = std::move(factory);
}

}  // namespace platform
