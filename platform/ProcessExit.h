#pragma once

namespace vornal {

// Ends the process at once: no further event runs and nothing else is saved.
class ProcessExit {
public:
    virtual ~ProcessExit() = default;
    virtual void exitNow() = 0;
};

// Flushes the standard streams and ends the process with status 0.
class SystemProcessExit : public ProcessExit {
public:
    [[noreturn]] void exitNow() override;
};

} // namespace vornal
