#pragma once
/* The yardstick of the CAV benchmark: statements sent through iODBC by a
 * plain C loop, with nothing between the loop and the driver manager. */

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

enum PlainOdbcOperation {
    PLAIN_CONNECT,    /* SQLDriverConnect with the connection text */
    PLAIN_DISCONNECT, /* SQLDisconnect */
    PLAIN_SELECT,     /* SQLExecDirect, then every row fetched */
    PLAIN_EXECUTE,    /* SQLExecDirect */
    PLAIN_COMMIT,     /* SQLEndTran with SQL_COMMIT */
    PLAIN_AUTOCOMMIT_OFF /* SQLSetConnectAttr SQL_ATTR_AUTOCOMMIT, SQL_AUTOCOMMIT_OFF: one transaction until a commit */
};

/* One step on connection 0 or 1; `sql` for SELECT and EXECUTE. */
struct PlainOdbcStep {
    enum PlainOdbcOperation operation;
    int connection;
    const char* sql;
};

/* Runs the steps in order, each statement on a statement handle of its own
 * that is freed after it. Returns the seconds from the first step to the
 * last, or -1 after printing the first failure to standard error. The
 * environment and connections are freed before it returns. */
double plain_odbc_run(const char* connectionText, const struct PlainOdbcStep* steps, size_t count);

#ifdef __cplusplus
}
#endif
