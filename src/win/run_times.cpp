#include "win/run_times.h"

#include "core/support/text.h"

namespace inst::win {

namespace {

double SecondsBetween(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::uint64_t Ticks(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

double SecondsSinceCreation() {
  FILETIME created, exited, kernel, user, now;
  ::GetSystemTimeAsFileTime(&now);
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user) || Ticks(now) <= Ticks(created))
    return 0;
  return static_cast<double>(Ticks(now) - Ticks(created)) / 1e7;
}

RunTimes::RunTimes() {
  ::QueryPerformanceCounter(&last_);
  steps_.push_back({"start-up", SecondsSinceCreation()});
}

void RunTimes::Begin(const char* step) {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  steps_.back().seconds += SecondsBetween(last_, now);
  last_ = now;
  steps_.push_back({step, 0});
}

std::string RunTimes::Line() {
  Begin("");
  steps_.pop_back();
  std::string line = "Times (seconds):";
  double total = 0;
  for (const Step& step : steps_) {
    line += FormatText(" %s %.3f,", step.name, step.seconds);
    total += step.seconds;
  }
  line.back() = ';';
  return line + FormatText(" total %.3f", total);
}

}  // namespace inst::win
