#include "features/explanation.h"

#include <algorithm>
#include <unordered_map>

namespace sentiment {

double Explanation::score() const {
    double s = bias;
    for (const Contribution& c : parts) s += c.weight;
    return s;
}

double Explanation::probability() const { return sigmoid(score()); }

std::vector<const Contribution*> Explanation::strongest(std::size_t n, bool positive) const {
    std::vector<const Contribution*> out;
    for (const Contribution& c : parts)
        if (positive ? c.weight > 0 : c.weight < 0) out.push_back(&c);
    // Ties keep the text's order, so the output is the same on every run.
    std::stable_sort(out.begin(), out.end(), [&](const Contribution* a, const Contribution* b) {
        return positive ? a->weight > b->weight : a->weight < b->weight;
    });
    if (out.size() > n) out.resize(n);
    return out;
}

Explanation explain(const Model& model, FeatureExtractor& extractor, std::string_view text) {
    static thread_local std::vector<NamedFeature> features;
    extractor.extract_named(text, features);
    Explanation e;
    e.bias = model.bias;
    e.ngrams = features.size();
    // First occurrences in order, as FeatureExtractor::extract keeps them.
    std::unordered_map<std::uint32_t, std::size_t> part_of;
    for (NamedFeature& f : features) {
        const auto [at, fresh] = part_of.emplace(f.id, e.parts.size());
        if (fresh) e.parts.push_back({f.id, model.weights[f.id], {}});
        std::vector<NamedFeature>& names = e.parts[at->second].ngrams;
        const auto same = [&](const NamedFeature& n) { return n.name == f.name && n.letters == f.letters; };
        if (std::find_if(names.begin(), names.end(), same) == names.end()) names.push_back(std::move(f));
    }
    return e;
}

}  // namespace sentiment
