// No C++ exception may cross into a C caller: an export whose operation throws (out of memory on a
// huge JPEG or MP3 file, say) answers as a failure instead, 0 where it returns a value.
#pragma once

namespace reeltide {

template <class F>
int GuardedResult(F&& operation) noexcept
{
    try {
        return operation();
    } catch (...) {
        return 0;
    }
}

template <class F>
void Guarded(F&& operation) noexcept
{
    try {
        operation();
    } catch (...) {
    }
}

}  // namespace reeltide
