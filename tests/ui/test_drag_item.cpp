#include <gtest/gtest.h>

#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include "platform/ui/DragItem.h"

namespace {

// One item of a drop as the program sees it: the file's path (empty for none) and the
// text (null for none).
struct Seen {
  QString path;
  QString text;
  friend bool operator==(const Seen&, const Seen&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Seen& s) {
    return out << '{' << s.path.toStdString() << ", " << (s.text.isNull() ? "-" : s.text.toStdString())
               << '}';
  }
};

// Walks a drop the way the drop handlers do: the first item, then while NextItem.
std::vector<Seen> Walk(const QMimeData& data) {
  platform::DragItem drop(data);
  std::vector<Seen> seen;
  do {
    const platform::FolderItem file = drop.FolderItem();
    if (file.IsNull() && !drop.TextAvailable()) continue;
    seen.push_back({file.AbsolutePath(), drop.TextAvailable() ? drop.Text() : QString()});
  } while (drop.NextItem());
  return seen;
}

}  // namespace

TEST(DragItem, FilesThenText) {
  QTemporaryDir dir;
  const QString a = dir.filePath("a.txt");
  const QString folder = dir.filePath("sub");
  struct Case {
    const char* name;
    QList<QUrl> urls;
    QString text;  // null: no text on the drag
    QString html;
    std::vector<Seen> expected;
  };
  const std::vector<Case> cases = {
      {"two files and a text clip",
       {QUrl::fromLocalFile(a), QUrl::fromLocalFile(folder)},
       "write to bob@x.org",
       {},
       {{a, {}}, {folder, {}}, {{}, "write to bob@x.org"}}},
      {"a file manager's drag names its files in the text too",
       {QUrl::fromLocalFile(a), QUrl::fromLocalFile(folder)},
       QUrl::fromLocalFile(a).toString() + "\r\n" + folder + "\n",
       {},
       {{a, {}}, {folder, {}}}},
      {"a web link is text, not a file",
       {QUrl("https://velmora.example/list")},
       "https://velmora.example/list",
       {},
       {{{}, "https://velmora.example/list"}}},
      {"markup alone",
       {},
       {},
       "<a href=\"mailto:c@z.org\">c</a>",
       {{{}, "<a href=\"mailto:c@z.org\">c</a>"}}},
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
}

TEST(DragItem, WalkingPastTheEndStaysOnTheLastItem) {
  QMimeData data;
  data.setText("d@w.org");
  platform::DragItem drop(data);
  EXPECT_EQ(drop.NextItem(), false);
  EXPECT_EQ(drop.Text(), "d@w.org");
  const QMimeData empty;
  EXPECT_EQ(platform::DragItem(empty).Text(), QString());
}
