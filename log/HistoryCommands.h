#pragma once

#include "log/OperationLog.h"
#include "platform/Shell.h"
#include "window/model/WindowModel.h"

namespace vornal {

// "Clear History": an existing log becomes the ten header lines and "History cleared." is
// shown; without a log nothing happens at all.
void btnClearHis_Click(Window& window, HtmlLog& log);

// "View History": the desktop opens an existing log; otherwise "Log file not found!" is
// flashed and nothing is created.
void btnViewHistory_Click(Window& window, HtmlLog& log, Shell& shell);

} // namespace vornal
