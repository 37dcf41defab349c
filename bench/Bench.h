#pragma once

// What the benchmarks share: timing, medians, a generated panorama, and the table row every
// figure is printed as. Every figure is a ratio against a baseline measured in the same run.

#include <QFile>
#include <QGuiApplication>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

template <typename F>
double Millis(F f) {
  const auto t0 = Clock::now();
  f();
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// A 24-bit bottom-up panorama of 8160 x 3060 with some structure in it, written row by row so
// that no full-size buffer of it stays in the process.
inline void WritePanorama(const QString& path) {
  const int w = 8160, h = 3060, stride = (w * 3 + 3) & ~3;
  std::vector<unsigned char> header(54);
  auto put = [&](std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) header[at + std::size_t(i)] = (v >> (8 * i)) & 0xff;
  };
  header[0] = 'B';
  header[1] = 'M';
  put(2, std::uint32_t(54 + stride * h), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, w, 4);
  put(22, h, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) std::abort();
  f.write(reinterpret_cast<const char*>(header.data()), 54);
  std::vector<char> row(std::size_t(stride), 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w * 3; ++x) row[std::size_t(x)] = static_cast<char>(x * 7 + y * 3);
    f.write(row.data(), stride);
  }
}

// Times `step(i)` against a memcpy of `bytes` (what the screen would take to copy the pixels
// drawn), `count` calls of each a round, `rounds` rounds after one to warm up; prints the row with
// the medians in milliseconds a call.
template <typename Step>
void RowAgainstCopy(const char* what, const char* baseline, const char* target, std::size_t bytes,
                    int count, int rounds, Step step);

// One row of the results table:
// | what | figure | baseline | ratio | target | platform |
inline void Row(const char* what, double figure, const char* unit, const char* baseline,
                double baselineFigure, double ratio, const char* target) {
  const QString platform =
      qGuiApp != nullptr ? QGuiApplication::platformName() : QStringLiteral("-");
  std::printf("| %s | %.2f %s | %s: %.2f %s | %.2f | %s | %s |\n", what, figure, unit, baseline,
              baselineFigure, unit, ratio, target, qPrintable(platform));
  std::fflush(stdout);
}

template <typename Step>
void RowAgainstCopy(const char* what, const char* baseline, const char* target, std::size_t bytes,
                    int count, int rounds, Step step) {
  std::vector<char> from(bytes, 1), to(bytes, 2);
  std::vector<double> stepTimes, copyTimes, ratios;
  int calls = 0;
  for (int round = 0; round <= rounds; ++round) {
    const auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) step(calls++);
    const auto t1 = Clock::now();
    for (int i = 0; i < count; ++i) {
      std::memcpy(to.data(), from.data(), bytes);
      from[std::size_t(i) % bytes] = char(i);  // keeps the copies from being merged
    }
    const auto t2 = Clock::now();
    const double stepped = std::chrono::duration<double, std::milli>(t1 - t0).count() / count;
    const double copied = std::chrono::duration<double, std::milli>(t2 - t1).count() / count;
    if (round == 0) continue;  // warm-up
    stepTimes.push_back(stepped);
    copyTimes.push_back(copied);
    ratios.push_back(stepped / copied);
  }
  Row(what, Median(stepTimes), "ms", baseline, Median(copyTimes), Median(ratios), target);
}

}  // namespace bench
