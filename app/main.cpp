#include "mainwindow.h"
#include "project_version.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(QINGGAN_FENXI_VERSION));
    MainWindow window;
    window.show();
    return app.exec();
}
