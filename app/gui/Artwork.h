// The program's pictures (icons, logo, startup-note buttons) are compiled into the Qt
// library; windows that show them make sure they are registered first.
#pragma once

#include <QIcon>

namespace vantorel::gui {

// Registers the pictures under ":/vantorel/"; safe to call any number of times.
void InitArtwork();

// The program icon in 256 x 256 and 64 x 64, so that small renderings scale from the small one.
QIcon ProgramIcon();

}  // namespace vantorel::gui
