#pragma once
// The Brevolan web site as the converter names it: the help page forwards to
// its converter help, and the box that cannot find the Brevolan program tells
// the user to install it from there. The host is a placeholder of our own.

#include "framework/Text.h"

inline const String BrevolanWebSite = "http://brevolan.example";
inline const String ConverterHelpAddress = BrevolanWebSite + "/converter_help.htm";
