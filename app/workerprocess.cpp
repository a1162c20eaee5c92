#include "workerprocess.h"

WorkerProcess::WorkerProcess(qintptr claimHandle)
    : claim(claimHandle)
    , tail(std::make_shared<ErrorTail>(errorTailBytes))
{
    setStandardOutputFile(QProcess::nullDevice());
    connect(this, &QProcess::readyReadStandardError, this, [this] { tail->append(readAllStandardError()); });
}
