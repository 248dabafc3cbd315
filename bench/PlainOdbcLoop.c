#include "bench/PlainOdbcLoop.h"

#include <sql.h>
#include <sqlext.h>
#include <stdio.h>
#include <time.h>

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static void report(const char* what, SQLSMALLINT type, SQLHANDLE handle) {
    SQLCHAR state[6] = {0}, message[512] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length);
    fprintf(stderr, "plain loop: %s failed: %s %d %s\n", what, (const char*)state, (int)native, (const char*)message);
}

static int statement(SQLHDBC dbc, const char* sql, int fetch) {
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) {
        report("SQLAllocHandle", SQL_HANDLE_DBC, dbc);
        return 0;
    }
    int ok = SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)sql, SQL_NTS));
    if (!ok) report(sql, SQL_HANDLE_STMT, stmt);
    if (ok && fetch) {
        SQLCHAR cell[256];
        SQLLEN indicator = 0;
        while (SQL_SUCCEEDED(SQLFetch(stmt))) SQLGetData(stmt, 1, SQL_C_CHAR, cell, sizeof cell, &indicator);
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    return ok;
}

double plain_odbc_run(const char* connectionText, const struct PlainOdbcStep* steps, size_t count) {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc[2] = {SQL_NULL_HDBC, SQL_NULL_HDBC};
    int connected[2] = {0, 0};
    double result = -1;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc[0]);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc[1]);

    const double start = now();
    size_t i = 0;
    for (; i < count; ++i) {
        const struct PlainOdbcStep* step = &steps[i];
        SQLHDBC c = dbc[step->connection];
        int ok = 1;
        switch (step->operation) {
            case PLAIN_CONNECT:
                ok = SQL_SUCCEEDED(SQLDriverConnect(c, NULL, (SQLCHAR*)connectionText, SQL_NTS, NULL, 0, NULL,
                                                    SQL_DRIVER_NOPROMPT));
                if (!ok) report("SQLDriverConnect", SQL_HANDLE_DBC, c);
                connected[step->connection] = ok;
                break;
            case PLAIN_DISCONNECT:
                SQLDisconnect(c);
                connected[step->connection] = 0;
                break;
            case PLAIN_SELECT: ok = statement(c, step->sql, 1); break;
            case PLAIN_EXECUTE: ok = statement(c, step->sql, 0); break;
            case PLAIN_COMMIT:
                ok = SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, c, SQL_COMMIT));
                if (!ok) report("SQLEndTran", SQL_HANDLE_DBC, c);
                break;
            case PLAIN_AUTOCOMMIT_OFF:
                ok = SQL_SUCCEEDED(
                    SQLSetConnectAttr(c, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)(SQLULEN)SQL_AUTOCOMMIT_OFF, 0));
                if (!ok) report("SQLSetConnectAttr", SQL_HANDLE_DBC, c);
                break;
        }
        if (!ok) break;
    }
    if (i == count) result = now() - start;

    for (int k = 0; k < 2; ++k) {
        if (connected[k]) SQLDisconnect(dbc[k]);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc[k]);
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    return result;
}
