// The benchmarks' steps of the payload probe: start-up time, memory, and the
// extraction of every product file timed by kind of work.
#pragma once
#include <string>
#include <vector>

#include "../src/win/process.h"

namespace bench {

double Seconds();
// Adds the process's private bytes and peak working set, now.
void ReportMemory(std::vector<std::string>& report_lines);

// Runs one of the benchmark steps, adding its figures; false when `step` is none:
//   discard          read every file record and discard it (the whole stream)
//   phases:FOLDER    extract every product file under FOLDER, timing each kind of
//                    work (folders, creating, writing and closing files, inflating)
//   memory           the process's private bytes and peak working set, now
// (A first step "idle", handled before the payload is opened, reports the memory of
// the same program doing nothing, the baseline for "memory".)
bool RunTimingStep(inst::win::Process& process, const std::string& step, std::vector<std::string>& report_lines);

}  // namespace bench
