#include <gtest/gtest.h>

#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/ui/DragItem.h"

namespace {

// Walks a drop the way the drop handlers do: the first item, then while NextItem. Each
// item as the program sees it: a file's path, or "text: " and the text.
QStringList Walk(const QMimeData& data) {
  platform::DragItem drop(data);
  QStringList seen;
  do {
    if (!drop.FolderItem().IsNull()) seen << drop.FolderItem().AbsolutePath();
    if (drop.TextAvailable()) seen << "text: " + drop.Text();
  } while (drop.NextItem());
  return seen;
}

}  // namespace

TEST(DragItem, FilesThenText) {
  QTemporaryDir dir;
  const QString a = dir.filePath("a.txt");
  const QString folder = dir.filePath("sub");
  const QList<QUrl> files = {QUrl::fromLocalFile(a), QUrl::fromLocalFile(folder)};
  const QString names = files[0].toString() + "\r\n" + folder + "\n";  // as a URL and as a path
  // Most file managers write the addresses percent-encoded, as in a URI list.
  const QList<QUrl> blanks = {QUrl::fromLocalFile(dir.filePath("my list.txt"))};
  const QString encoded = blanks[0].toString(QUrl::FullyEncoded) + "\r\n";
  const QString web = "https://velmora.example/list";
  const QString markup = "<a href=\"mailto:c@z.org\">c</a>";
  struct Case {
    const char* name;
    QList<QUrl> urls;
    QString text, html;  // text null: no text on the drag
    QStringList expected;
  };
  const Case cases[] = {
      {"two files and a text clip", files, "write to bob@x.org", {}, {a, folder, "text: write to bob@x.org"}},
      {"a file manager's drag names its files in the text too", files, names, {}, {a, folder}},
      {"even percent-encoded", blanks, encoded, {}, {dir.filePath("my list.txt")}},
      {"a web link is text, not a file", {QUrl(web)}, web, {}, {"text: " + web}},
      {"markup alone", {}, {}, markup, {"text: " + markup}},
      {"nothing usable", {}, {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QMimeData data;
    if (!c.urls.isEmpty()) data.setUrls(c.urls);
    if (!c.text.isNull()) data.setText(c.text);
    if (!c.html.isEmpty()) data.setHtml(c.html);
    EXPECT_EQ(Walk(data), c.expected);
  }
  // Walking past the end stays on the last item.
  QMimeData one;
  one.setText("d@w.org");
  platform::DragItem drop(one);
  EXPECT_EQ(drop.NextItem(), false);
  EXPECT_EQ(drop.Text(), "d@w.org");
}
