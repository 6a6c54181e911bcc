#pragma once

// Summaries of repeated measurements.

#include <algorithm>
#include <cmath>
#include <vector>

namespace bench {

// The value below which the given share of the samples lie (nearest rank).
inline double Percentile(std::vector<double> samples, double share) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const double rank = std::ceil(share * double(samples.size()));
    const size_t index = rank < 1 ? 0 : size_t(rank) - 1;
    return samples[std::min(index, samples.size() - 1)];
}

inline double Median(std::vector<double> samples) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

} // namespace bench
