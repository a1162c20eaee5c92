#include "choseninputnames.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

ChosenInputNames::ChosenInputNames(const QString &reviewsPath, const QString &labelsPath)
{
    const QFileInfo reviewsFile(reviewsPath);
    const QFileInfo labelsFile(labelsPath);
    reviews = reviewsFile.fileName();
    labels = labelsFile.fileName();
    // Two different files of the same name in two folders: only their
    // paths tell them apart. One file chosen for both keeps its one name.
    const bool sameFile = reviewsFile.absoluteFilePath() == labelsFile.absoluteFilePath()
        || (!reviewsFile.canonicalFilePath().isEmpty()
            && reviewsFile.canonicalFilePath() == labelsFile.canonicalFilePath());
    if (reviews == labels && !sameFile) {
        reviews = QDir::toNativeSeparators(reviewsFile.absoluteFilePath());
        labels = QDir::toNativeSeparators(labelsFile.absoluteFilePath());
    }
}

QString ChosenInputNames::inMessage(const QString &message) const
{
    if (reviews.isEmpty())
        return message;
    // Whole names only ("myreviews.txt", "temp/reviews.txt" are others), in
    // one pass, so that a chosen name holding a staged one is left alone.
    static const QRegularExpression staged(QStringLiteral("(?<![\\w./\\\\-])(reviews|labels)\\.txt(?![\\w])"));
    QString result;
    int done = 0;
    for (auto match = staged.globalMatch(message); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        result += message.midRef(done, found.capturedStart() - done);
        result += found.captured(1) == QLatin1String("reviews") ? reviews : labels;
        done = found.capturedEnd();
    }
    result += message.midRef(done);
    return result;
}
