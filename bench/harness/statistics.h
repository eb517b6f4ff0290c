// Summaries of repeated measurements.
#pragma once

#include <vector>

struct Summary {
    int count = 0;
    double median = 0;
    double low = 0, high = 0; // 95% confidence interval of the median
    double min = 0, max = 0;
};

// The median with a distribution-free 95% interval: the order statistics
// that bracket it by the binomial (normal) approximation, n/2 -/+ 0.98 sqrt(n).
Summary summarize(std::vector<double> values);

double median(std::vector<double> values);
