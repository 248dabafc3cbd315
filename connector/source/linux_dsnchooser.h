#pragma once
// The data-source chooser and the login dialog that Connect shows when it
// has no connection text at all.

namespace corvane {

// The data-source name that the user picked, allocated with malloc (the
// caller frees it), or none when nothing was picked.
char* ChooseDataSource();

// Asks for a user name and password for `dsn`, showing `user` and
// `password` first. After a confirmed dialog `userOut` and `passwordOut`
// (128 bytes each) hold the entered texts; otherwise they keep theirs.
void AskLogin(const char* user, const char* password, const char* dsn, char* userOut, char* passwordOut);

}  // namespace corvane
