#define _GNU_SOURCE
/* The animals of an RSD/CAX file into CSV, the plainest fast way: the
 * animals' names read by id once, one select of the tree in the order the
 * table holds it, and each line built in memory and written to a temporary
 * file beside the destination, which is synced and renamed into place, and
 * its folder synced, as the converter does.
 *
 *   export_anchor SOURCE.cax DESTINATION.csv
 *
 * It writes the converter's bytes (the benchmark compares them every run):
 * the heading line with the custom fields' captions from the first settings
 * row, then one line per tree row. A field is '' when empty, the date of a
 * value that holds "0:00" and reads as a date (every date of `dob`), or its
 * text with commas turned into blanks and line feeds into " - "; the parents
 * are named by the rows their links point to. Each line then gets
 * apostrophes for backticks, and for "$" too unless the first "$" is
 * followed by a digit. The heading line keeps its characters.
 *
 * Done the fastest plain way: the file opened without SQLite's mutexes (one
 * thread), values read in place by their bytes rather than copied for a
 * closing NUL, and a birth date already stored as year-month-day written
 * as it stands. */

#include <fcntl.h>
#include <libgen.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static void fail(const char *what, const char *detail) {
    fprintf(stderr, "export_anchor: %s: %s\n", what, detail ? detail : "");
    exit(1);
}

/* ---- a growing line --------------------------------------------------------- */

typedef struct {
    char *text;
    size_t size, capacity;
} Line;

static void put(Line *line, const char *s, size_t n) {
    if (line->size + n + 1 > line->capacity) {
        line->capacity = 2 * (line->size + n + 1);
        line->text = realloc(line->text, line->capacity);
        if (!line->text) fail("out of memory", 0);
    }
    memcpy(line->text + line->size, s, n);
    line->size += n;
}

/* The value's text with commas as blanks and line feeds as " - ". */
static void putField(Line *line, const char *s) {
    if (!s) return;
    for (;;) {
        const size_t plain = strcspn(s, ",\n");
        put(line, s, plain);
        s += plain;
        if (!*s) return;
        if (*s == ',') put(line, " ", 1);
        else put(line, " - ", 3);
        ++s;
    }
}

static void putFieldN(Line *line, const char *s, size_t n) {
    if (!s) return;
    const char *end = s + n;
    const char *run = s;
    for (const char *p = s; p < end; ++p) {
        if (*p != ',' && *p != '\n') continue;
        put(line, run, (size_t)(p - run));
        if (*p == ',') put(line, " ", 1); else put(line, " - ", 3);
        run = p + 1;
    }
    put(line, run, (size_t)(end - run));
}
static int dateShape(const char *s, size_t n) {
    if (n != 10 || s[4] != '-' || s[7] != '-') return 0;
    for (int i = 0; i < 10; ++i) if (i != 4 && i != 7 && (s[i] < '0' || s[i] > '9')) return 0;
    return 1;
}

/* SQLite's date() of a value, for the rare value that holds "0:00". */
static sqlite3_stmt *dateOf;

static void putValue(Line *line, const char *s) {
    if (s && strstr(s, "0:00")) {
        sqlite3_bind_text(dateOf, 1, s, -1, SQLITE_STATIC);
        const int found = sqlite3_step(dateOf) == SQLITE_ROW && sqlite3_column_type(dateOf, 0) != SQLITE_NULL;
        if (found) {
            const char *date = (const char *)sqlite3_column_text(dateOf, 0);
            put(line, date, strlen(date));
        }
        sqlite3_reset(dateOf);
        if (found) return;
    }
    putField(line, s);
}

/* The line end; an animal's line also gets apostrophes for backticks, and
 * for "$" unless the first "$" is followed by a digit (the heading line
 * keeps its characters). */
static void endLine(Line *line, int apostrophes) {
    put(line, "\n", 1);
    if (!apostrophes) return;
    char *dollar = memchr(line->text, '$', line->size);
    const int dollars = dollar && !(dollar[1] >= '0' && dollar[1] <= '9');
    for (size_t i = 0; i < line->size; ++i)
        if (line->text[i] == '`' || (dollars && line->text[i] == '$')) line->text[i] = '\'';
}

static sqlite3_stmt *prepare(sqlite3 *db, const char *sql) {
    sqlite3_stmt *statement;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, 0) != SQLITE_OK) fail(sql, sqlite3_errmsg(db));
    return statement;
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: export_anchor SOURCE.cax DESTINATION.csv\n");
        return 2;
    }
    sqlite3 *db;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, 0) != SQLITE_OK) fail("cannot open", argv[1]);
    dateOf = prepare(db, "SELECT date(?1)");

    /* The names by id, once. */
    sqlite3_stmt *count = prepare(db, "SELECT max(id) FROM tree");
    sqlite3_step(count);
    const sqlite3_int64 most = sqlite3_column_int64(count, 0);
    sqlite3_finalize(count);
    char **names = calloc((size_t)most + 1, sizeof *names);
    sqlite3_stmt *byId = prepare(db, "SELECT id, name FROM tree");
    while (sqlite3_step(byId) == SQLITE_ROW) {
        const sqlite3_int64 id = sqlite3_column_int64(byId, 0);
        const char *name = (const char *)sqlite3_column_text(byId, 1);
        if (id >= 0 && id <= most && name) names[id] = strdup(name);
    }
    sqlite3_finalize(byId);

    const size_t length = strlen(argv[2]);
    char *temporary = malloc(length + 8);
    snprintf(temporary, length + 8, "%s.part", argv[2]);
    FILE *out = fopen(temporary, "wb");
    if (!out) fail("cannot create", temporary);
    Line line = {0, 0, 0};

    /* The heading line. */
    static const char heading[] = "NAME,COLOR,BREED,SEX,DOB,NOTES,FATHER,MOTHER,CAGE NO.,TAG/REG.,PREFIX,SUFFIX,CALL NAME";
    put(&line, heading, sizeof heading - 1);
    sqlite3_stmt *captions = prepare(db,
        "SELECT CustomName1, CustomName2, CustomName3, CustomName4, CustomName5, CustomName6, CustomName7,"
        " CustomName8, CustomName9, CustomName10, CustomName11, CustomName12 FROM settings ORDER BY id LIMIT 1");
    const int haveCaptions = sqlite3_step(captions) == SQLITE_ROW;
    for (int k = 0; k < 12; ++k) {
        put(&line, ",", 1);
        if (haveCaptions) putValue(&line, (const char *)sqlite3_column_text(captions, k));
    }
    sqlite3_finalize(captions);
    endLine(&line, 0);
    fwrite(line.text, 1, line.size, out);

    /* One line per animal. */
    enum { First = 0, Dob = 4, DobDate = 5, Father = 7, Mother = 8, Last = 25 };
    sqlite3_stmt *tree = prepare(db,
        "SELECT name, colour, breed, sex, dob, date(dob), notes, fatherId, motherId, cage, tag, prefix, suffix,"
        " callname, customField1, customField2, customField3, customField4, customField5, customField6,"
        " customField7, customField8, customField9, customField10, customField11, customField12"
        " FROM tree ORDER BY rowid");
    while (sqlite3_step(tree) == SQLITE_ROW) {
        line.size = 0;
        for (int k = First; k <= Last; ++k) {
            if (k == DobDate) continue;
            if (k > First) put(&line, ",", 1);
            if (k == Dob) {
                const char *value = (const char *)sqlite3_column_blob(tree, k);
                const size_t n = (size_t)sqlite3_column_bytes(tree, k);
                if (value && dateShape(value, n)) { put(&line, value, n); continue; }
                const char *date = (const char *)sqlite3_column_text(tree, DobDate);
                if (date) put(&line, date, strlen(date));
                else putField(&line, (const char *)sqlite3_column_text(tree, k));
            } else if (k == Father || k == Mother) {
                const char *value = (const char *)sqlite3_column_text(tree, k);
                const int type = sqlite3_column_type(tree, k);
                char *end = 0;
                const long long id = value && *value ? strtoll(value, &end, 10) : -1;
                const int whole = type != SQLITE_NULL && end && *end == 0 && id >= 0 && id <= most;
                putField(&line, whole ? names[id] : 0);
            } else {
                const char *value = (const char *)sqlite3_column_blob(tree, k);
                const size_t n = (size_t)sqlite3_column_bytes(tree, k);
                if (value && memchr(value, '0', n) && n >= 4 && memmem(value, n, "0:00", 4)) putValue(&line, (const char *)sqlite3_column_text(tree, k));
                else putFieldN(&line, value, n);
            }
        }
        endLine(&line, 1);
        if (fwrite(line.text, 1, line.size, out) != line.size) fail("cannot write", temporary);
    }
    sqlite3_finalize(tree);
    sqlite3_finalize(dateOf);
    sqlite3_close(db);

    if (fflush(out) != 0 || fsync(fileno(out)) != 0 || fclose(out) != 0) fail("cannot write", temporary);
    if (rename(temporary, argv[2]) != 0) fail("cannot rename", temporary);
    char *folderPath = strdup(argv[2]);
    int folder = open(dirname(folderPath), O_RDONLY | O_DIRECTORY);
    if (folder < 0 || fsync(folder) != 0) fail("cannot sync the folder of", argv[2]);
    close(folder);
    return 0;
}
