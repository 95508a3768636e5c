#pragma once

#include "chrome/ImageElement.h"

#include <QIcon>

namespace vornal::TitleBarPictures {

// The title-bar strip: a deep blue band, the same all along so that any part of it can show.
[[nodiscard]] Picture strip();
// The program's icon: a padlock.
[[nodiscard]] Picture icon();
// The close button: normal, hot (under the pointer) and pressed.
[[nodiscard]] Picture closeNormal();
[[nodiscard]] Picture closeHot();
[[nodiscard]] Picture closePressed();
// The minimise button: normal, hot and pressed.
[[nodiscard]] Picture minimiseNormal();
[[nodiscard]] Picture minimiseHot();
[[nodiscard]] Picture minimisePressed();

// The application icon, at every size the desktop's icon theme has it.
[[nodiscard]] QIcon windowIcon();

} // namespace vornal::TitleBarPictures
