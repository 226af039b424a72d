// Timestamps of the steps of one request, for bench builds only. A tree
// configured with -DQEX_STEP_TRACE=ON records, per thread, when each marked
// step ended; the listener writes the bridge thread's marks of a request to
// the file named by the environment variable QEX_STEP_TRACE_FILE once the
// request is handled. In every other build both macros compile to nothing:
// the shipped program neither records nor writes anything.
#pragma once

#ifdef QEX_STEP_TRACE

#include <string>

namespace qex::trace {

// Records that the step `name` (a string literal) ended now.
void Mark(const char* name);
// Appends this thread's marks as one line to the trace file and forgets
// them: "<name>\t<microseconds since the first mark>" pairs, tab-separated.
void Flush();
// This thread's marks in that form, without writing or forgetting them.
std::string Line();

}  // namespace qex::trace

#define QEX_STEP(name) ::qex::trace::Mark(name)
#define QEX_STEP_FLUSH() ::qex::trace::Flush()

#else

#define QEX_STEP(name) ((void)0)
#define QEX_STEP_FLUSH() ((void)0)

#endif
