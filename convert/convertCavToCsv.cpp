#include "convert/convertCavToCsv.h"

#include "convert/cavSource.h"
#include "framework/Interaction.h"

namespace convertCavToCsv {

void runconvertcavToCsv() { MsgBox(CavSourceMessage); }

}  // namespace convertCavToCsv
