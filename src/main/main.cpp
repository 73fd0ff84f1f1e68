#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("W9-CAN config"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("W9-CAN config"));
    window.show();
    return app.exec();
}
