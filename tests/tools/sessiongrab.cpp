// sessiongrab WINDOW-ID OUT.png [X,Y ...]
// Grabs an X window of another process as the screen shows it, saves it as
// PNG and prints "R G B" for each window-relative point. scripts/e2e.sh uses
// it to find the live picture and the buttons it is about to click.
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool validId = false;
    const WId window = args.size() >= 3 ? args.at(1).toULongLong(&validId, 0) : 0;
    if (!validId) {
        fprintf(stderr, "usage: sessiongrab WINDOW-ID OUT.png [X,Y ...]\n");
        return 2;
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    const QImage image = screen ? screen->grabWindow(window).toImage() : QImage();
    if (image.isNull() || !image.save(args.at(2), "PNG")) {
        fprintf(stderr, "sessiongrab: cannot grab window %s into %s\n", qPrintable(args.at(1)),
                qPrintable(args.at(2)));
        return 1;
    }
    for (int i = 3; i < args.size(); ++i) {
        const QStringList xy = args.at(i).split(',');
        const QPoint at(xy.value(0).toInt(), xy.value(1).toInt());
        if (xy.size() != 2 || !image.rect().contains(at)) {
            fprintf(stderr, "sessiongrab: %s is not a point inside %dx%d\n", qPrintable(args.at(i)),
                    image.width(), image.height());
            return 1;
        }
        const QColor colour = image.pixelColor(at);
        printf("%d %d %d\n", colour.red(), colour.green(), colour.blue());
    }
    return 0;
}
