#include "runkind.h"

#include "exchangefiles.h"

RunKind RunKind::training()
{
    RunKind kind;
    kind.script = ExchangeFiles::trainingScript;
    kind.claimName = ExchangeFiles::trainingLock;
    kind.exchangeFiles = QStringList{ExchangeFiles::progress};
    kind.word = QStringLiteral("训练");
    kind.failureTitle = QStringLiteral("训练未完成");
    kind.failureLead = QStringLiteral("训练没有完成。\n");
    return kind;
}

RunKind RunKind::testing()
{
    RunKind kind;
    kind.script = ExchangeFiles::testScript;
    kind.claimName = ExchangeFiles::testLock;
    kind.exchangeFiles = QStringList{ExchangeFiles::output, ExchangeFiles::percent};
    kind.word = QStringLiteral("测试");
    kind.failureTitle = QStringLiteral("测试未完成");
    kind.failureLead = QStringLiteral("测试没有完成，没有生成结果文件 out.txt。\n");
    return kind;
}
