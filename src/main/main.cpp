#include "main/Main.h"
#include "can/DMUnit.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("W9-CAN config"));
    // The vehicle database comes first and goes last; a file that cannot be opened is said once
    // and the program runs without it.
    TDm dm;
    Dm = &dm;
    if (!dm.OpenError().isEmpty())
        QMessageBox::critical(nullptr, QApplication::applicationName(), dm.OpenError());
    TMainForm mainForm;
    mainForm.show();
    return app.exec();
}
