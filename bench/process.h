#pragma once

#include <string>
#include <vector>

namespace pontexa::bench {

// What one run of a program cost.
struct Measurement {
  double wall_seconds = 0;
  double cpu_seconds = 0;  // user and system time
  long peak_rss_kib = 0;   // peak resident memory, from the kernel's rusage
};

// Runs the program argv[0] (a path) with its arguments, its standard output
// discarded and its standard error shown, in this process's environment with
// `environment` (NAME=value entries) added or replacing. Throws
// std::runtime_error naming the command when it cannot start or does not end
// with status 0.
//
// The kernel counts into a child's peak the resident memory of its parent at
// the time of the spawn, so the caller keeps itself small.
Measurement RunMeasured(const std::vector<std::string>& argv,
                        const std::vector<std::string>& environment);

// This process's own peak resident memory.
long OwnPeakRssKib();

}  // namespace pontexa::bench
