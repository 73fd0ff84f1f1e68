#include "main/Main.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("W9-CAN config"));
    TMainForm mainForm;
    mainForm.show();
    return app.exec();
}
