#pragma once
#include <functional>

namespace sentiment {

// Passes fractions on, never backwards and never reaching 1: only whoever
// saves the result may say the work is done.
class ProgressSink {
public:
    explicit ProgressSink(std::function<void(double)> sink) : sink_(std::move(sink)) {}
    void operator()(double fraction);
    double reported() const { return reported_; }

private:
    std::function<void(double)> sink_;
    double reported_ = 0;
};

}  // namespace sentiment
