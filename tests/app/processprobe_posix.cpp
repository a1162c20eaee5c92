#include "processprobe.h"

#include <QByteArray>
#include <QFile>

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

namespace ProcessProbe {

bool exists(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0;
}

bool isRunning(qint64 pid)
{
    if (!exists(pid))
        return false;
    // The state follows the command name in parentheses: "Z" is a zombie.
    QFile stat("/proc/" + QByteArray::number(pid) + "/stat");
    if (!stat.open(QIODevice::ReadOnly))
        return true; // no /proc: it exists, which is all that can be told
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 && line.size() > close + 2 && line.at(close + 2) != 'Z';
}

qint64 ownResidentBytes()
{
    // Linux: the second field of statm is the resident size in pages.
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    bool ok = false;
    const qint64 pages = fields.value(1).toLongLong(&ok);
    return ok ? pages * ::sysconf(_SC_PAGESIZE) : -1;
}

} // namespace ProcessProbe
