#include "errortail.h"

#include <chrono>

void ErrorTail::append(const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(mutex);
    // Trimmed only once it holds twice the limit, so that a worker writing a
    // line at a time costs no more than one move of the kept bytes per limit's
    // worth; one byte more than the limit is kept for text() to look at.
    kept += bytes.right(2 * limit);
    if (kept.size() > 2 * limit)
        kept.remove(0, kept.size() - (limit + 1));
}

void ErrorTail::close()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    }
    closedChanged.notify_all();
}

QByteArray ErrorTail::text(int waitMs) const
{
    std::unique_lock<std::mutex> lock(mutex);
    closedChanged.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return closed; });
    if (kept.size() <= limit)
        return kept;
    int cut = kept.size() - limit;
    // Start at a line: a cut line would show as a stray piece, and might
    // start inside a UTF-8 character.
    if (kept.at(cut - 1) != '\n') {
        const int next = kept.indexOf('\n', cut);
        if (next >= 0 && next + 1 < kept.size())
            cut = next + 1;
    }
    return kept.mid(cut);
}
