// The program's pictures (icons, logo, startup-note buttons) are compiled into the Qt
// library; windows that show them make sure they are registered first.
#pragma once

namespace vantorel::gui {

// Registers the pictures under ":/vantorel/"; safe to call any number of times.
void InitArtwork();

}  // namespace vantorel::gui
