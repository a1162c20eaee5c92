#include "workerprocess.h"

WorkerProcess::WorkerProcess(qintptr claimHandle)
    : claim(claimHandle)
{
    setStandardOutputFile(QProcess::nullDevice());
    connect(this, &QProcess::readyReadStandardError, this, &WorkerProcess::keepErrorTail);
}

void WorkerProcess::keepErrorTail()
{
    tail += readAllStandardError();
    if (tail.size() <= errorTailBytes)
        return;
    int cut = tail.size() - errorTailBytes;
    // Start at a line: a cut line would show as a stray piece, and might
    // start inside a UTF-8 character.
    if (tail.at(cut - 1) != '\n') {
        const int next = tail.indexOf('\n', cut);
        if (next >= 0 && next + 1 < tail.size())
            cut = next + 1;
    }
    tail.remove(0, cut);
}
