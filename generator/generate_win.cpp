// Generate command, de-duplication warning and the run's worker thread.
#include "app/handlers.h"

namespace yz {

void GenerateCommand() {}
void DedupWarning() {}

}  // namespace yz
