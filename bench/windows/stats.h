// Timing and summaries for the side-by-side benchmarks under Wine.
#pragma once

#include <string>
#include <vector>

namespace benchstats {

// Seconds on the performance counter.
double Now();

double Median(std::vector<double> samples);
double Minimum(const std::vector<double>& samples);
double Maximum(const std::vector<double>& samples);

// The command-line value after `flag`, or `fallback`.
std::string Option(int argc, char** argv, const std::string& flag, const std::string& fallback);
// Comma-separated integers: "0,1000,5000".
std::vector<int> IntList(const std::string& text);

}  // namespace benchstats
