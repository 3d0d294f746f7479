// The help window.
#include "app/handlers.h"

namespace yz {

void OpenHelpWindow() {}

}  // namespace yz
