#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QMimeData;

namespace app {

// A named kind of file that a window can accept in a drop: file-name extensions and the
// classic Mac type and creator codes (four characters each, trailing blank kept).
struct FileType {
  QString name;
  QString extensions;  // separated by semicolons; empty for "every file"
  QString macType;
  QString macCreator;

  QStringList ExtensionList() const { return extensions.split(QLatin1Char(';'), Qt::SkipEmptyParts); }
  // Whether a file of that name is of this type: a type without extensions takes every
  // file; otherwise the name ends with one of them, letter case ignored.
  bool Matches(const QString& fileName) const;
  friend bool operator==(const FileType&, const FileType&) = default;
};

// The program's six file types, created once at start-up and kept for the life of the
// process.
class FileTypes {
 public:
  // Creates the six types in table order; later calls keep the first ones.
  static void Initialize();
  static bool Initialized();

  static const FileType& pText();
  static const FileType& pAny();
  static const FileType& pApplicationPdf();
  static const FileType& pApplicationPostscript();
  static const FileType& pApplicationRtf();
  static const FileType& pApplicationText();

  // All six in table order (empty before Initialize).
  static const QList<FileType>& All();
  // The type of that name, letter case ignored ("ANY" names the "Any" type); nullptr when
  // there is none.
  static const FileType* Find(const QString& name);
};

// What a window takes when something is dropped on it: the local files of the types it
// named, and text when it said so.
class DropFilter {
 public:
  // The type of that name (letter case ignored); an unknown name adds nothing.
  void AcceptFileType(const QString& name);
  void AcceptText() { m_text = true; }
  bool Accepts(const QMimeData& data) const;

 private:
  QList<FileType> m_types;
  bool m_text = false;
};

}  // namespace app
