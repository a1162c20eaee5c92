#ifndef CHOSENINPUTNAMES_H
#define CHOSENINPUTNAMES_H

#include <QString>

// The training worker reads its inputs under their staged names,
// "reviews.txt" and "labels.txt", and its messages name them so; the user
// knows them as the files chosen for each role. This puts the chosen files'
// names into such a message, by role: a review file chosen as the label file
// is named wherever the worker speaks of "labels.txt".
class ChosenInputNames
{
public:
    ChosenInputNames() = default; // names nothing: messages stay as they are
    ChosenInputNames(const QString &reviewsPath, const QString &labelsPath);

    QString inMessage(const QString &message) const;

private:
    QString reviews;
    QString labels;
};

#endif // CHOSENINPUTNAMES_H
