#include <gtest/gtest.h>

#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/ui/DragItem.h"

// A drop walked as the drop handlers walk it (the first item, then while NextItem), each
// item as the program sees it: a file's path, or "text: " and the text. Walking past the
// end stays on the last item.
TEST(DragItem, FilesThenText) {
  QTemporaryDir dir;
  const QString a = dir.filePath("a.txt"), folder = dir.filePath("sub"), blank = dir.filePath("my list.txt");
  const QList<QUrl> files = {QUrl::fromLocalFile(a), QUrl::fromLocalFile(folder)};
  const QString names = files[0].toString() + "\r\n" + folder + "\n";  // as a URL and as a path
  // Most file managers write the addresses percent-encoded, as in a URI list.
  const QString encoded = QUrl::fromLocalFile(blank).toString(QUrl::FullyEncoded) + "\r\n";
  const QString web = "https://velmora.example/list", markup = "<a href=\"mailto:c@z.org\">c</a>";
  struct Case {
    const char* name;
    QList<QUrl> urls;
    QString text, html;  // text null: no text on the drag
    QStringList expected;
  };
  const Case cases[] = {
      {"two files and a text clip", files, "write to bob@x.org", {}, {a, folder, "text: write to bob@x.org"}},
      {"a file manager's drag names its files in the text too", files, names, {}, {a, folder}},
      {"even percent-encoded", {QUrl::fromLocalFile(blank)}, encoded, {}, {blank}},
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
    platform::DragItem drop(data);
    QStringList seen;
    do {
      if (!drop.FolderItem().IsNull()) seen << drop.FolderItem().AbsolutePath();
      if (drop.TextAvailable()) seen << "text: " + drop.Text();
    } while (drop.NextItem());
    EXPECT_EQ(std::make_pair(seen, drop.NextItem()), std::make_pair(c.expected, false));
    if (!c.expected.isEmpty()) {
      EXPECT_EQ(seen.last(),
                (drop.TextAvailable() ? "text: " + drop.Text() : drop.FolderItem().AbsolutePath()));
    }
  }
}
