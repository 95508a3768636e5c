#pragma once

#include "operations/TypedPath.h"
#include "platform/FileSystem.h"
#include "window/State.h"
#include "window/model/WindowModel.h"

#include <cstdint>
#include <string>

namespace vornal {

// "File size: " and the size in bytes, kb or mb, cut (not rounded) after two decimals:
// 1023 -> "File size: 1023 bytes", 1025 -> "File size: 1.00 kb", 5000000 -> "... 4.76 mb".
[[nodiscard]] std::u16string fileSizeText(std::uint64_t length);

// Shows in labelFileSize the size of the file named in filepath, which must open for
// reading and writing; throws RunError when it does not.
void ShowFileSize(Window& window, FileSystem& files);

// The elapsed time as the progress panel shows it: "12.3" below a minute, then "2min 5s",
// then "1hr 2min 3s".
[[nodiscard]] std::u16string elapsedText(float seconds);

// One tick of ElapsedTimer: tenths of a second for the first minute, then whole seconds
// once a second.
void ElapsedTimer_Timer(ProcessState& state, Window& window);

} // namespace vornal
