#include "log/HistoryCommands.h"

#include "platform/Text.h"

namespace vornal {

void btnClearHis_Click(Window& window, HtmlLog& log) {
    try {
        if (log.clear()) {
            window.ShowSuccess(u"History cleared.");
        }
    } catch (const RunError& e) {
        window.FlashFailure(u"WARNING: " + numberAndText(e) + u" while performing operation.");
    }
}

void btnViewHistory_Click(Window& window, HtmlLog& log, Shell& shell) {
    if (log.exists()) {
        shell.openDocument(log.path());
    } else {
        window.FlashFailure(u"Log file not found!");
    }
}

} // namespace vornal
