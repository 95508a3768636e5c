#pragma once

#include "window/State.h"
#include "window/model/WindowModel.h"

namespace vornal {

// The source and direction modes and the input lock. Each option handler runs after its
// option became the selected one of its pair.

// The source becomes the file in filepath: the lists come back, the string box goes.
void optFile_Click(Window& window, ProcessState& state);
// The source becomes the typed string: filepath is emptied, the lists are greyed.
void optString_Click(Window& window, ProcessState& state);
// The direction's texts: Label4, the start button's caption and Label3.
void encryption_Click(Window& window);
void decryption_Click(Window& window);

// Clears the other option of option's pair (optFile/optString, encryption/decryption) and
// selects option. It runs no handler itself; the window runs the handler of an option that
// becomes selected.
void selectOption(Window& window, Ctl option);

// While an operation runs: the radio groups and the key boxes cannot be changed.
void LockInputs(Window& window);
// Undoes LockInputs, and enables filepath, btnHelp and btnAbout, which the start command
// disables itself.
void UnlockInputs(Window& window);

} // namespace vornal
