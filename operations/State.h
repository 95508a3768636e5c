#pragma once

#include <cstdint>
#include <string>

namespace vornal {

// The program-wide state the window and the operations share.
struct ProcessState {
    bool FileMode = true;           // the source is the file in filepath, not the string box
    bool EncryptMode = true;        // the running operation encrypts; selects the probe
    std::u16string CurrentPath;     // the trimmed path being processed
    std::int64_t CurrentLength = 0; // bytes of the file last read by the probe
    float ElapsedSeconds = 0;       // seconds counted since an operation began
    bool ElapsedStopped = false;    // while true the elapsed-time tick does nothing
};

} // namespace vornal
