#pragma once

// The figures every benchmark reports over its repetitions: minimum, median and maximum (Google
// Benchmark adds the median itself), and the percentile of a set of samples.

#include <algorithm>
#include <vector>

namespace pellmor::bench {

inline double minimum(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}
inline double maximum(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}
inline double percentile(std::vector<double> samples, double fraction) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

}  // namespace pellmor::bench
