#include "app/FileTypes.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace app {

namespace {

QList<FileType>& Table() {
  static QList<FileType> table;
  return table;
}

const FileType& At(int index) {
  if (Table().isEmpty()) FileTypes::Initialize();
  return Table().at(index);
}

}  // namespace

bool FileType::Matches(const QString& fileName) const {
  const QStringList list = ExtensionList();
  if (list.isEmpty()) return true;
  for (const QString& extension : list) {
    if (fileName.endsWith(extension, Qt::CaseInsensitive)) return true;
  }
  return false;
}

void FileTypes::Initialize() {
  if (!Table().isEmpty()) return;
  Table() = {
      {"Text", ".asc;.ascii;.bas;.c;.class;.cp;.cpp;.h;.hp;.hpp;.i3;.java;.m2;.m3;.mak;.text;.txt", "TEXT",
       "????"},
      {"Any", "", "????", "????"},
      {"application/pdf", ".pdf", "PDF ", "CARO"},
      {"application/postscript", ".eps;.epsf;.ps", "EPSF", "vgrd"},
      {"application/rtf", ".rtf", "TEXT", "MSWD"},
      {"application/text", ".1st;.nfo;.readme;readme", "TEXT", "text"},
  };
}

bool FileTypes::Initialized() {
  return !Table().isEmpty();
}

const FileType& FileTypes::pText() {
  return At(0);
}
const FileType& FileTypes::pAny() {
  return At(1);
}
const FileType& FileTypes::pApplicationPdf() {
  return At(2);
}
const FileType& FileTypes::pApplicationPostscript() {
  return At(3);
}
const FileType& FileTypes::pApplicationRtf() {
  return At(4);
}
const FileType& FileTypes::pApplicationText() {
  return At(5);
}

const QList<FileType>& FileTypes::All() {
  return Table();
}

const FileType* FileTypes::Find(const QString& name) {
  for (const FileType& type : Table()) {
    if (type.name.compare(name, Qt::CaseInsensitive) == 0) return &type;
  }
  return nullptr;
}

void DropFilter::AcceptFileType(const QString& name) {
  if (const FileType* type = FileTypes::Find(name)) {
    if (!m_types.contains(*type)) m_types.append(*type);
  }
}

bool DropFilter::Accepts(const QMimeData& data) const {
  if (m_text && data.hasText()) return true;
  if (!data.hasUrls()) return false;
  for (const QUrl& url : data.urls()) {
    if (!url.isLocalFile()) continue;
    const QString fileName = QFileInfo(url.toLocalFile()).fileName();
    for (const FileType& type : m_types) {
      if (type.Matches(fileName)) return true;
    }
  }
  return false;
}

}  // namespace app
