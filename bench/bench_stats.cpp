#include "bench/bench_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tavelin::bench {

double Percentile(std::vector<double> samples, double share) {
    if (samples.empty()) return 0;
    std::sort(samples.begin(), samples.end());
    share = std::clamp(share, 0.0, 1.0);
    const double rank = share * static_cast<double>(samples.size() - 1);
    const size_t below = static_cast<size_t>(std::floor(rank));
    const size_t above = std::min(below + 1, samples.size() - 1);
    const double part = rank - static_cast<double>(below);
    return samples[below] + (samples[above] - samples[below]) * part;
}

double Median(const std::vector<double>& samples) { return Percentile(samples, 0.5); }

double Spread(const std::vector<double>& samples) {
    return Percentile(samples, 0.75) - Percentile(samples, 0.25);
}

double Ratio(double a, double b) { return b > 0 ? a / b : 0; }

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
    return text;
}

std::string Milliseconds(double ms) {
    if (ms >= 100) return Fixed(ms, 0);
    if (ms >= 10) return Fixed(ms, 1);
    if (ms >= 1) return Fixed(ms, 2);
    return Fixed(ms, 3);
}

}  // namespace tavelin::bench
