// A drag source of its own process for checking drops from outside the program under
// a real X server: a small window that starts a copy drag of the files named on its
// command line when the mouse is pressed on it. Prints the drag's result when it ends.
#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

#include <cstdio>

namespace {

class DragSource : public QWidget {
 public:
  explicit DragSource(QList<QUrl> Urls) : FUrls(std::move(Urls)) {
    setWindowTitle("dragsource");
    setFixedSize(160, 80);
  }

 protected:
  void mousePressEvent(QMouseEvent*) override {
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setUrls(FUrls);
    drag->setMimeData(data);
    const Qt::DropAction result = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    std::printf("drag ended: %s\n", result == Qt::CopyAction   ? "copy"
                                    : result == Qt::MoveAction ? "move"
                                                               : "refused");
    std::fflush(stdout);
  }

 private:
  QList<QUrl> FUrls;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QList<QUrl> urls;
  for (int i = 1; i < argc; ++i) urls << QUrl::fromLocalFile(QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath());
  DragSource source(urls);
  source.move(0, 0);
  source.show();
  return app.exec();
}
