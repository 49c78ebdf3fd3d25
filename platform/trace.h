// The trace sink: discards, or appends to the file $KVO_TRACE names (one line per call, with
// the time and the thread).
#pragma once
#include <string_view>

namespace ce {

void Trace(std::string_view line);
void Trace(std::u16string_view line);
bool TraceEnabled();
// Tests can redirect the sink; an empty path restores the environment's choice.
void SetTraceFile(std::string_view path);

}  // namespace ce
