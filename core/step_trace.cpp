#include "core/step_trace.h"

#ifdef QEX_STEP_TRACE

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

namespace qex::trace {
namespace {

using Clock = std::chrono::steady_clock;

// A thread that marks steps but never flushes (the main thread's login
// runs) keeps at most this many.
constexpr std::size_t kMaxMarks = 256;

thread_local std::vector<std::pair<const char*, Clock::time_point>> t_marks;

std::mutex g_fileLock;

}  // namespace

void Mark(const char* name) {
    if (t_marks.size() < kMaxMarks) t_marks.emplace_back(name, Clock::now());
}

std::string Line() {
    std::string line;
    if (t_marks.empty()) return line;
    const Clock::time_point first = t_marks.front().second;
    for (const auto& m : t_marks) {
        if (!line.empty()) line += '\t';
        line += m.first;
        line += '\t';
        line += std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(m.second - first).count());
    }
    return line;
}

void Flush() {
    const std::string line = Line();
    t_marks.clear();
    const char* path = std::getenv("QEX_STEP_TRACE_FILE");
    if (line.empty() || path == nullptr || *path == '\0') return;
    std::lock_guard<std::mutex> lock(g_fileLock);
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

}  // namespace qex::trace

#endif
