#include "connector/source/linux_dsnchooser.h"

namespace corvane {

// The dialogs are not part of this version of the connector: no data source
// is ever picked, so a Connect without any connection text fails.
char* ChooseDataSource() { return nullptr; }

void AskLogin(const char* user, const char* password, const char* dsn, char* userOut, char* passwordOut) {
    (void)user;
    (void)password;
    (void)dsn;
    (void)userOut;
    (void)passwordOut;
}

}  // namespace corvane
