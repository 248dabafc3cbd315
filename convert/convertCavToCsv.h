#pragma once
// Old CAV files are not read on this platform: the conversion from CAV to CSV
// only tells the user to use the Windows version of the converter.

namespace convertCavToCsv {

// Shows the one message and returns; touches no file.
void runconvertcavToCsv();

}  // namespace convertCavToCsv
