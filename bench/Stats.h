#pragma once
// Timings of one measured case, in milliseconds, and their percentiles.
#include <algorithm>
#include <vector>

namespace bench {

struct Stats {
    std::vector<double> ms;
    double Pct(double p) const {
        if (ms.empty()) return 0;
        std::vector<double> s = ms;
        std::sort(s.begin(), s.end());
        return s[std::min(s.size() - 1, size_t(p / 100.0 * double(s.size())))];
    }
};

} // namespace bench
