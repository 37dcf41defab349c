#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <vector>

namespace search {

// The most threads a search shares its work among.
constexpr unsigned kMostWorkers = 8;

// Runs work(i, state) for every i below `count`, in runs of `run`, shared among the machine's
// cores; each thread works on a state of its own, which make() gives it.
template <typename Make, typename Work>
void OnCores(std::size_t count, std::size_t run, const Make& make, const Work& work) {
  std::atomic<std::size_t> next{0};
  const auto worker = [&] {
    auto state = make();
    for (std::size_t begin; (begin = next.fetch_add(run)) < count;)
      for (std::size_t i = begin; i < std::min(begin + run, count); ++i) work(i, state);
  };
  const std::size_t runs = (count + run - 1) / run;
  const auto cores = std::min<std::size_t>(
      std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers), runs);
  std::vector<std::thread> threads;
  for (std::size_t k = 1; k < cores; ++k) threads.emplace_back(worker);
  worker();
  for (std::thread& t : threads) t.join();
}

}  // namespace search
