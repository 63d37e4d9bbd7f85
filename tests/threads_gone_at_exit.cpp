// Linked into every test program: at exit, the threads that are still on
// their way out (Qt's pool threads are waited for only until they say they
// are done) are given a moment to be gone before the leak check stops the
// world, which a thread half-way through its exit can crash.
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <thread>

namespace {

int threadsOfThisProcess() {
    DIR *d = ::opendir("/proc/self/task");
    if (d == nullptr)
        return 1;
    int n = 0;
    while (const dirent *e = ::readdir(d))
        if (e->d_name[0] != '.')
            ++n;
    ::closedir(d);
    return n;
}

void awaitTheLastThread() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (threadsOfThisProcess() > 1 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Registered before anything the tests start, so run after everything they
// leave behind has been destroyed, and before the leak check (registered
// earlier still, by the sanitizer's start-up).
const int registered = std::atexit(awaitTheLastThread);

} // namespace
