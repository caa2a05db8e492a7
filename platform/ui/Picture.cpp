#include "platform/ui/Picture.h"

#include <QCoreApplication>
#include <QHash>
#include <QImage>

// The pictures are compiled into the static widget library; nothing else references
// that object file, so the linker would drop it unless it is named here.
static void RegisterPictureResources() {
  Q_INIT_RESOURCE(resources);
}

namespace platform {
namespace {

QHash<int, QPixmap>* g_pictures = nullptr;

// Pixmaps must go before the application object does; the process keeps the cache
// until then.
void DropPictures() {
  delete g_pictures;
  g_pictures = nullptr;
}

// The picture's white is its background: make it see-through, keeping any
// transparency the picture already has.
QPixmap WithTransparentWhite(const QImage& loaded) {
  QImage image = loaded.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if (qAlpha(line[x]) == 255 && (line[x] & 0xffffff) == 0xffffff) line[x] = qRgba(255, 255, 255, 0);
    }
  }
  return QPixmap::fromImage(image);
}

}  // namespace

QPixmap ResourcePicture(int number) {
  if (g_pictures == nullptr) {
    RegisterPictureResources();
    g_pictures = new QHash<int, QPixmap>;
    qAddPostRoutine(DropPictures);
  }
  const auto found = g_pictures->constFind(number);
  if (found != g_pictures->constEnd()) return *found;
  const QImage image(QStringLiteral(":/pictures/%1.xpm").arg(number));
  if (image.isNull()) return {};
  QPixmap picture = WithTransparentWhite(image);
  g_pictures->insert(number, picture);
  return picture;
}

}  // namespace platform
