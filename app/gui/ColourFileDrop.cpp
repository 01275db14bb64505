#include "app/gui/ColourFileDrop.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QWidget>

#include "colour/gui/ColorListDisplay.h"

namespace vantorel::gui {

namespace {

// The dragged colour file, when the drag holds exactly one local file and it is one.
QString DraggedColourFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return QString();
  const QUrl url = data->urls().first();
  if (!url.isLocalFile()) return QString();
  const QString file = url.toLocalFile();
  return QFileInfo(file).suffix().compare(QLatin1String("Pal"), Qt::CaseInsensitive) == 0 ? file : QString();
}

class ColourFileDrop : public QObject {
 public:
  ColourFileDrop(QWidget* page, TColorListDisplay* colours) : QObject(page), colours_(colours) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (DraggedColourFile(drag->mimeData()).isEmpty()) return false;  // the frame may take it
        drag->acceptProposedAction();
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QString file = DraggedColourFile(drop->mimeData());
        if (file.isEmpty()) return false;
        drop->acceptProposedAction();
        // Loaded once the drag has ended: a message about a bad file must not hold it.
        QMetaObject::invokeMethod(
            colours_, [colours = colours_, file] { colours->LoadColourFile(file); }, Qt::QueuedConnection);
        return true;
      }
      default: return QObject::eventFilter(watched, event);
    }
  }

 private:
  TColorListDisplay* colours_;
};

}  // namespace

void AcceptColourFileDrops(QWidget* page, TColorListDisplay* colours) {
  page->setAcceptDrops(true);
  page->installEventFilter(new ColourFileDrop(page, colours));
}

}  // namespace vantorel::gui
