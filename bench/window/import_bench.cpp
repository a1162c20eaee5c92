// Times one import of a file into the test box and reports the peak memory
// of the process; bench/import.sh runs it once per file and mode.
//
//   import_bench new|old FILE
//
// new: the window's import (regular-file check, size limits, the worker's
//      decoder) followed by setPlainText, as on_pushButton_clicked does;
// old: the previous import, QTextStream::readLine over the whole file.
#include "textimport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextEdit>
#include <QTextStream>

#include <cstdio>
#include <sys/resource.h>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString path = QString::fromLocal8Bit(argv[2]);
    QTextEdit edit;
    edit.resize(400, 300);
    edit.show();
    QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    QString outcome = QStringLiteral("read");
    if (mode == QLatin1String("new")) {
        const ImportedText imported = importTestText(path);
        if (imported.status == ImportedText::Status::Read)
            edit.setPlainText(imported.text);
        else
            outcome = QStringLiteral("refused");
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return 1;
        QTextStream in(&file);
        QString text;
        for (QString line = in.readLine(); !line.isNull(); line = in.readLine())
            text += line + QLatin1Char('\n');
        edit.setPlainText(text);
    }
    edit.repaint(); // the window shows the text before it takes input again
    QCoreApplication::processEvents();
    const qint64 ms = clock.elapsed();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-4s %-8s %6lld ms  peak %5ld MB\n", qPrintable(mode), qPrintable(outcome),
                static_cast<long long>(ms), usage.ru_maxrss / 1024);
    return 0;
}
