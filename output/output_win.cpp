// Copy, export and reset of the result.
#include "app/handlers.h"

namespace yz {

void CopyResult() {}
void ExportResult() {}
void ResetResult() {}

}  // namespace yz
