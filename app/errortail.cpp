#include "errortail.h"

#include <chrono>

void ErrorTail::append(const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(mutex);
    // One byte more than is kept: the cut below looks at the byte before it.
    kept += bytes.right(limit + 1);
    if (kept.size() <= limit)
        return;
    int cut = kept.size() - limit;
    // Start at a line: a cut line would show as a stray piece, and might
    // start inside a UTF-8 character.
    if (kept.at(cut - 1) != '\n') {
        const int next = kept.indexOf('\n', cut);
        if (next >= 0 && next + 1 < kept.size())
            cut = next + 1;
    }
    kept.remove(0, cut);
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
    return kept;
}
