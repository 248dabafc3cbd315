#include "services/publicVariables.h"

namespace publicVariables {
bool noSexColumn = false;
bool noPS = false;
bool noPd = false;
}  // namespace publicVariables
