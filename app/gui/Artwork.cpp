#include "app/gui/Artwork.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterArtwork() { Q_INIT_RESOURCE(vantorel); }

namespace vantorel::gui {

void InitArtwork() {
  static const bool registered = (RegisterArtwork(), true);
  (void)registered;
}

}  // namespace vantorel::gui
