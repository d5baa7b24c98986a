// Takes the place of gdaladdo when the runner alone is timed: sleeps a fixed time and
// exits 0, without touching its file. A shell script would add its own start-up to
// every job and blur what is measured.
#include <chrono>
#include <thread>

int main() {
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return 0;
}
