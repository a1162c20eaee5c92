#ifndef RUNKIND_H
#define RUNKIND_H

#include <QString>
#include <QStringList>

// What tells a training run from a test run.
struct RunKind
{
    static RunKind training();
    static RunKind testing();

    QString script;            // the worker script, "emotion.bat"
    QString claimName;         // its lock file, "emotion.bat.lock"
    QStringList exchangeFiles; // what the worker writes, watched after it exits
    QString word;              // "训练", for the boxes
    QString failureTitle;      // "训练未完成"
    QString failureLead;       // first line of the failure box
};

#endif // RUNKIND_H
