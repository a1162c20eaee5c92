#include "scriptlauncher.h"

#include <QProcess>
#include <QStringList>

// The command interpreter runs the batch file. A bare name would be looked
// up in the program's own folder and on PATH as well, so that a same-named
// script there ran when the work directory has none; ".\\" names the one in
// the work directory only, and a missing one fails to start. The path stays
// relative: wine's cmd would expand percent signs in a folder's name.
void startWorkerScript(QProcess *process, const QString &scriptName)
{
    process->start(QStringLiteral(".\\") + scriptName, QStringList(), QIODevice::ReadWrite);
}
