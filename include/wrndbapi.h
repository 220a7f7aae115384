/*
 * wrndbapi.h: the client library of the maker's database server, as our
 * stand-in libwrndbapi.so gives it. It talks to the server tools/wrndbd.py
 * over TCP (default port 2013) and keeps the whole result of the last
 * statement of each connection, with a row cursor.
 *
 * Handles are positive integers; 0 is none. Texts are NUL-terminated bytes
 * (GBK), passed through unchanged. Output buffers:
 *   column names  WRNDB_NAME_BYTES  (at most 547 bytes and a terminator)
 *   values        WRNDB_VALUE_BYTES (at most 2,499 bytes and a terminator)
 *   error texts   WRNDB_ERROR_BYTES
 *
 * Environment:
 *   VTTEL_WRNDB_TRACE        a file every call appends one line to
 *   VTTEL_WRNDB_INIT_RESULT  the result WrnDbInit gives (default 0)
 *
 * Thread rules: calls on different handles may run at once; one handle is
 * used by one thread at a time. Every network wait is bounded.
 */
#ifndef VTTEL_WRNDBAPI_H_
#define VTTEL_WRNDBAPI_H_

#ifdef __cplusplus
extern "C" {
#endif

#define WRNDB_DEFAULT_PORT 2013
#define WRNDB_NAME_BYTES 548
#define WRNDB_VALUE_BYTES 2500
#define WRNDB_ERROR_BYTES 2048

/* 0 ready; negative: the library cannot be used. */
int WrnDbInit(void);
/* Closes every handle still open: 0. */
int WrnDbFree(void);
/* Connects and logs in: a handle, or 0. text: a session note (NULL: none),
   passed to the server as it is. */
int WrnDbOpen(const char* host, int port, const char* text, const char* user,
              const char* password);
/* 0; -1 for an unknown handle. */
int WrnDbClose(int handle);
/* Runs one statement and keeps its result. The result: 0 or the rows a
   statement changed, with *ret_code 0; a statement the server refused gives
   0 with a negative *ret_code and its text in error; a negative result
   means the connection is lost (the handle must be opened again). */
int WrnDbExec(int handle, const char* sql, int* ret_code, char* error);
/* The rows / columns of the last result (0 without one). */
int WrnDbRows(int handle);
int WrnDbCols(int handle);
/* Column index (0-based): its name and width (the widest value in bytes,
   at least 1); type and extra are 0. The index, or -1. */
int WrnDbGetColInfoByIndex(int handle, int index, char* name, int* width, int* type,
                           int* extra);
/* The index of the column of that name (ASCII case ignored), or -1;
   width, type, extra as above. */
int WrnDbGetColInfoByName(int handle, const char* name, int* width, int* type, int* extra);
/* Moves the cursor to row (1-based): row, or -1 when there is no such row. */
int WrnDbGotoRec(int handle, int row);
/* Moves the cursor one row on: 0, or -1 past the last row. */
int WrnDbNext(int handle);
/* The value at the cursor (NULL reads empty): its length, or -1 (no row
   under the cursor, no such column). */
int WrnDbGetValByName(int handle, const char* name, char* value);
int WrnDbGetValByIndex(int handle, int index, char* value);

#ifdef __cplusplus
}
#endif

#endif /* VTTEL_WRNDBAPI_H_ */
