// The rows of quillory-bench's tables and their timing, shared by the
// bench/*.cpp files that add a table of their own (see kTables in
// bench_peers.cpp).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct BenchRow {
    std::string name, peer;
    double ours = 0, theirs = 0;  // seconds per call, medians
    double target = 0;            // the largest ratio that passes; 0: shown, not judged
    double floor = 0;             // seconds of a plain streaming copy of the same bytes; 0: none
    // Rows without a peer may be judged by throughput instead: `bytes` made
    // per call, at least `minGBs` GB/s.
    double bytes = 0;
    double minGBs = 0;
};

// Times `ours` and `theirs` in alternating rounds (both see the same load)
// and keeps each side's median.
BenchRow BenchMeasure(const std::string& name, const std::string& peer, double target,
                      const std::function<void()>& ours, const std::function<void()>& theirs);

// The median seconds of a plain streaming copy of `bytes` bytes between two
// buffers of their own: the machine's memory bandwidth for that much data.
double BenchCopyFloor(std::size_t bytes);

// The target of a workload at the process's span-kernel level: machines
// with AVX2 are held to `avx2`, the others to `other`.
double BenchTarget(double avx2, double other);

// One table: a title and the function that measures its rows; `only`, when
// not empty, keeps the rows whose key contains it. Tables of other files:
std::vector<BenchRow> Bench_FilesRows(const std::string& only);    // bench_files.cpp
std::vector<BenchRow> Bench_ThreadsRows(const std::string& only);  // bench_threads.cpp
struct BenchTable {
    const char* title;
    std::function<std::vector<BenchRow>(const std::string& only)> rows;
};
