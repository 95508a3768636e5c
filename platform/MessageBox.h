#pragma once

#include <string>

namespace vornal {

enum class MsgButtons { Ok, OkCancel };
enum class MsgIcon { None, Critical, Exclamation, Information };
enum class MsgAnswer { Ok, Cancel };

// A modal message box: the window shows it, the command line prints it, tests record it
// and answer from a script.
class MessageBoxHook {
public:
    virtual ~MessageBoxHook() = default;
    virtual MsgAnswer messageBox(const std::u16string& prompt, const std::u16string& title,
                                 MsgButtons buttons, MsgIcon icon) = 0;
};

} // namespace vornal
