#include "bench/windows/stats.h"

#include <windows.h>

#include <algorithm>
#include <sstream>

namespace benchstats {

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / frequency;
}

double Median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const std::size_t middle = samples.size() / 2;
  return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

double Minimum(const std::vector<double>& samples) {
  return samples.empty() ? 0 : *std::min_element(samples.begin(), samples.end());
}

double Maximum(const std::vector<double>& samples) {
  return samples.empty() ? 0 : *std::max_element(samples.begin(), samples.end());
}

std::string Option(int argc, char** argv, const std::string& flag, const std::string& fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (flag == argv[i]) return argv[i + 1];
  return fallback;
}

std::vector<int> IntList(const std::string& text) {
  std::vector<int> values;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ','))
    if (!item.empty()) values.push_back(std::stoi(item));
  return values;
}

}  // namespace benchstats
