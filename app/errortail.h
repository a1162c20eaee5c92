#ifndef ERRORTAIL_H
#define ERRORTAIL_H

#include <QByteArray>

#include <condition_variable>
#include <mutex>

// The end of what a worker wrote to its standard error, kept within a fixed
// size however much it writes. One thread may fill it while another reads.
class ErrorTail
{
public:
    explicit ErrorTail(int limit) : limit(limit) {}

    void append(const QByteArray &bytes);
    // The writing side has closed: nothing more will come.
    void close();
    // What is kept, from the start of a line where one is within reach;
    // waits up to waitMs for the writing side to close first.
    QByteArray text(int waitMs = 0) const;

private:
    const int limit;
    mutable std::mutex mutex;
    mutable std::condition_variable closedChanged;
    QByteArray kept;
    bool closed = false;
};

#endif // ERRORTAIL_H
