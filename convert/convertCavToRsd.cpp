#include "convert/convertCavToRsd.h"

#include "convert/cavSource.h"
#include "framework/Interaction.h"

namespace convertCavToRsd {

void runConvertCavToRsd() { MsgBox(CavSourceMessage); }

}  // namespace convertCavToRsd
