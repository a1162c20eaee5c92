#include "learn/progress_sink.h"

#include <algorithm>

namespace sentiment {

void ProgressSink::operator()(double fraction) {
    reported_ = std::max(reported_, std::min(fraction, 0.99));
    if (sink_) sink_(reported_);
}

}  // namespace sentiment
