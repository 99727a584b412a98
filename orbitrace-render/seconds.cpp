#include "orbitrace-render/seconds.h"

#include <chrono>

double Seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}
