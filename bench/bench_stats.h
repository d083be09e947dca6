// The arithmetic of the benchmark's figures. No Win32 here, so that every rule can be checked
// against a table.
#pragma once

#include <string>
#include <vector>

namespace tavelin::bench {

// The value below which the given share of the samples lies, interpolated linearly between
// the two nearest ranks (share 0.5 is the median). 0 for no samples.
double Percentile(std::vector<double> samples, double share);
double Median(const std::vector<double>& samples);

// The spread of the samples: the distance between their first and third quartiles, which one
// slow outlier (a page-cache flush, another process's time slice) does not move.
double Spread(const std::vector<double>& samples);

// a / b, or 0 where b is not positive: a ratio against nothing measured means nothing.
double Ratio(double a, double b);

// The value with the given number of decimals, e.g. Fixed(2.345, 1) == "2.3".
std::string Fixed(double value, int decimals);

// Milliseconds to show: three significant figures for small values, whole milliseconds from
// 100 on.
std::string Milliseconds(double ms);

}  // namespace tavelin::bench
