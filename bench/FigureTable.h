#pragma once

#include <cstdio>
#include <string>

// The table the benchmarks print: one figure a row, its measured value, the goal and whether it
// was met.
namespace trv::bench {

inline void PrintFigureRow(int figureWidth, const char* figure, const std::string& value,
                           const char* goal, const char* met) {
  std::printf("  %-*s %14s  %-10s %s\n", figureWidth, figure, value.c_str(), goal, met);
}

// value in printf's format (one conversion for a double).
inline std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace trv::bench
