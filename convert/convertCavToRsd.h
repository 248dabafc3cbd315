#pragma once
// Old CAV files are not read on this platform: the conversion from CAV to
// RSD/CAX only tells the user to use the Windows version of the converter.

namespace convertCavToRsd {

// Shows the one message and returns; touches no file.
void runConvertCavToRsd();

}  // namespace convertCavToRsd
