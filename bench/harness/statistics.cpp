#include "statistics.h"

#include <algorithm>
#include <cmath>

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

Summary summarize(std::vector<double> values) {
    Summary summary;
    if (values.empty())
        return summary;
    std::sort(values.begin(), values.end());
    int n = static_cast<int>(values.size());
    summary.count = n;
    summary.median = median(values);
    summary.min = values.front();
    summary.max = values.back();
    // 1-based ranks of the interval's ends.
    double spread = 1.96 * std::sqrt(static_cast<double>(n)) / 2;
    int lowRank = std::max(1, static_cast<int>(std::floor(n / 2.0 - spread)));
    int highRank = std::min(n, static_cast<int>(std::ceil(1 + n / 2.0 + spread)));
    summary.low = values[static_cast<std::size_t>(lowRank - 1)];
    summary.high = values[static_cast<std::size_t>(highRank - 1)];
    return summary;
}
