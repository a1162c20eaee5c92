// Shows one file in a text box the way the window does, and reports how long
// the window was busy, the longest time it answered no event, and the peak
// memory of the process; bench/import.sh runs it once per file and mode.
//
//   import_bench import before|after FILE
//   import_bench output before|after FILE
//
// import: the test box (a QTextEdit at 12 pt, 301 x 71) takes the file as
//         on_pushButton_clicked does; "before" with the previous limits
//         (4 MB, lines up to 256 KB, any number of lines), "after" with
//         the window's (ImportLimits::window()).
// output: the result box takes the file as checkTestflie takes out.txt;
//         "before" with one setPlainText, "after" through GradualTextFill.
#include "exchangefiles.h"
#include "gradualtextfill.h"
#include "textimport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextEdit>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <sys/resource.h>

namespace {

// Puts the file into the edit; false when it was refused.
bool show(const QString &what, const QString &mode, const QString &path, QTextEdit &edit, GradualTextFill &fill)
{
    const bool before = mode == QLatin1String("before");
    if (what == QLatin1String("import")) {
        const ImportLimits previous{4 * 1024 * 1024, 256 * 1024, INT_MAX};
        const ImportedText imported = importTestText(path, before ? previous : ImportLimits::window());
        if (imported.status != ImportedText::Status::Read)
            return false;
        edit.setPlainText(imported.text);
        return true;
    }
    // readLines takes names in the work directory.
    const std::optional<QString> output = ExchangeFiles::readLines(QFileInfo(path).absoluteFilePath());
    if (!output)
        return false;
    if (before) {
        edit.setPlainText(*output);
    } else {
        fill.setPlainText(*output);
        fill.waitUntilShown();
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 4)
        return 2;
    const QString what = QString::fromLocal8Bit(argv[1]);
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString path = QString::fromLocal8Bit(argv[3]);
    QTextEdit edit;
    if (what == QLatin1String("import")) {
        QFont font;
        font.setPointSize(12);
        edit.setFont(font);
    }
    edit.resize(301, 71);
    edit.show();
    GradualTextFill fill(&edit);
    QCoreApplication::processEvents();

    // A 10 ms ticker measures how long the event loop went unanswered; the
    // window is idle again once the text is in and 50 ticks in a row came on
    // time.
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    qint64 idleFrom = -1;
    int onTime = 0;
    bool inPlace = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 stall = sinceTick.restart();
        longestStall = qMax(longestStall, stall);
        onTime = stall < 30 && inPlace ? onTime + 1 : 0;
        if (onTime == 1)
            idleFrom = clock.elapsed();
        if (onTime >= 50)
            app.quit();
    });
    clock.start();
    sinceTick.start();
    ticker.start(10);
    const bool shown = show(what, mode, path, edit, fill);
    longestStall = qMax(longestStall, sinceTick.elapsed());
    inPlace = true;
    app.exec();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-6s %-8s busy %6lld ms  longest stall %6lld ms  peak %4ld MB  %d lines shown\n",
                qPrintable(mode), shown ? "shown" : "refused", static_cast<long long>(idleFrom),
                static_cast<long long>(longestStall), usage.ru_maxrss / 1024,
                shown ? edit.document()->blockCount() - 1 : 0);
    return 0;
}
