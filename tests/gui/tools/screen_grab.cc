// screen_grab PATH: saves the whole screen of $DISPLAY as a PNG file.
// Exit status 0 when saved, 1 otherwise.
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: screen_grab PATH\n");
    return 1;
  }
  QApplication app(argc, argv);
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return 1;
  const QPixmap shot = screen->grabWindow(0);
  return !shot.isNull() && shot.save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
