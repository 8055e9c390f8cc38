// The floor of the start-up benchmark: a bare Qt 6 program that opens one
// window, paints it once, says so on standard output and ends.
#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QTimer>

#include <cstdio>

namespace {
class Window : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(QRect(0, 0, width(), height()), QColor(255, 255, 240));
        if (!painted_) {
            painted_ = true;
            std::puts("painted");
            std::fflush(stdout);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
    }

private:
    bool painted_ = false;
};
}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    Window window;
    window.resize(480, 640);
    window.show();
    return app.exec();
}
