#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace vornal {

// The program-wide state the window and the operations share. The elapsed-time fields are
// atomic because the window's timer ticks while an operation runs on another thread.
struct ProcessState {
    bool FileMode = true;                  // the source is the file in filepath, not the string box
    bool EncryptMode = true;               // the running operation encrypts; selects the probe
    std::u16string CurrentPath;            // the path being processed (typedPath)
    std::int64_t CurrentLength = 0;        // bytes of the file last read by the probe
    std::atomic<float> ElapsedSeconds = 0; // seconds counted since an operation began
    std::atomic<bool> ElapsedStopped = false; // while true the elapsed-time tick does nothing
};

} // namespace vornal
