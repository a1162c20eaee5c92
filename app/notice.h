#ifndef NOTICE_H
#define NOTICE_H

#include <QString>

// What the window tells its user in a warning box: the steps of a run say
// what went wrong in one of these, and only the window shows it.
struct Notice
{
    QString title;
    QString text;
};

#endif // NOTICE_H
