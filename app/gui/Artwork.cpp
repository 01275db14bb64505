#include "app/gui/Artwork.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterArtwork() { Q_INIT_RESOURCE(vantorel); }

namespace vantorel::gui {

void InitArtwork() {
  static const bool registered = (RegisterArtwork(), true);
  (void)registered;
}

QIcon ProgramIcon() {
  InitArtwork();
  QIcon icon(":/vantorel/icons/vantorel.png");
  icon.addFile(":/vantorel/images/logo.png", QSize(64, 64));
  return icon;
}

}  // namespace vantorel::gui
