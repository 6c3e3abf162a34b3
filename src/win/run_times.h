// Where a run's time goes: the seconds of each of its steps, from the process's
// creation on, for the log's "Times" line (and the benchmarks that read it).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace inst::win {

// Seconds from the process's creation to now, from the system's record: the start of
// the program and the loading of its libraries before its first line.
double SecondsSinceCreation();

class RunTimes {
 public:
  // The time from the process's creation to now (the system's start of the program
  // and the libraries it loads) is the step "start-up".
  RunTimes();
  // The time since the last mark belongs to the step before; `step` begins.
  void Begin(const char* step);
  // "Times (seconds): start-up 0.081, ... ; total 1.234", the last step closed now.
  std::string Line();

 private:
  struct Step {
    const char* name;
    double seconds;
  };
  std::vector<Step> steps_;
  LARGE_INTEGER last_{};
};

}  // namespace inst::win
