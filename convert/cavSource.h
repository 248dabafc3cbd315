#pragma once
// The message of both conversions from an old CAV file.

#include "framework/Text.h"

inline const String CavSourceMessage =
    "No OBDC drivers found." + EndOfLine +
    "You must run the Windows version of the converter to convert old version Brevolan files. Then copy the "
    "converted file to this computer.";
