/* The bench herd's CSV into a new RSD/CAX file, the plainest fast way: the
 * file is read whole, every line split once, the parents linked in memory
 * (by id, then by name), the sex derived from parenthood when the herd has
 * no column for it, and each tree row written once, with its final links,
 * through one prepared insert in one transaction. The file is written under
 * a temporary name beside the destination, synced and renamed into place,
 * and its folder synced, as the converter does.
 *
 *   import_anchor SCHEMA.sql HERD.csv DESTINATION.cax
 *
 * It stores what the converter stores (the benchmark compares the two
 * files' dumps every run): names and texts with backticks for apostrophes,
 * the sex word as "male", "female" or "undefined", an ISO date kept and any
 * other date stored empty, a parent id that names an animal of the file
 * linked to its first row, a parent id of exactly "1" no parent unless the
 * file has an animal 1, the headings that name no field as custom fields 1
 * to 3 with their lower-cased headings as captions, and the version stamp.
 * The herd is the benchmark's own: plain fields without quotes, ASCII. */

#include <fcntl.h>
#include <libgen.h>
#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static void fail(const char *what, const char *detail) {
    fprintf(stderr, "import_anchor: %s: %s\n", what, detail ? detail : "");
    exit(1);
}

static char *readAll(const char *path, size_t *size) {
    FILE *in = fopen(path, "rb");
    if (!in) fail("cannot open", path);
    fseek(in, 0, SEEK_END);
    long n = ftell(in);
    fseek(in, 0, SEEK_SET);
    char *text = malloc((size_t)n + 1);
    if (!text || fread(text, 1, (size_t)n, in) != (size_t)n) fail("cannot read", path);
    fclose(in);
    text[n] = 0;
    *size = (size_t)n;
    return text;
}

/* ---- a hash table from text to the first row that has it ---------------- */

typedef struct {
    const char **keys;
    int *rows;
    size_t mask;
} FirstRow;

static size_t hashOf(const char *s) {
    size_t h = 1469598103934665603ull;
    for (; *s; ++s) h = (h ^ (unsigned char)*s) * 1099511628211ull;
    return h;
}

static void firstRowInit(FirstRow *t, size_t entries) {
    size_t n = 16;
    while (n < 2 * entries) n <<= 1;
    t->keys = calloc(n, sizeof *t->keys);
    t->rows = calloc(n, sizeof *t->rows);
    t->mask = n - 1;
}

/* Keeps the first row given for a key. */
static void firstRowAdd(FirstRow *t, const char *key, int row) {
    for (size_t i = hashOf(key) & t->mask;; i = (i + 1) & t->mask) {
        if (!t->keys[i]) {
            t->keys[i] = key;
            t->rows[i] = row;
            return;
        }
        if (strcmp(t->keys[i], key) == 0) return;
    }
}

static int firstRowFind(const FirstRow *t, const char *key) {
    for (size_t i = hashOf(key) & t->mask; t->keys[i]; i = (i + 1) & t->mask)
        if (strcmp(t->keys[i], key) == 0) return t->rows[i];
    return 0;
}

/* ---- the herd --------------------------------------------------------------- */

enum { Name, Uid, Sex, Dob, SireId, DamId, Sire, Dam, Colour, Breed, Notes, Weight, Litter, ShowWins, Columns };
static const char *const Headings[Columns] = {"name",  "uid",   "sex",   "dob",   "sireid", "damid",  "sire",
                                              "dam",   "colour", "breed", "notes", "Weight", "Litter", "Show Wins"};

typedef struct {
    char *field[Columns];  /* NULL: the herd has no such column */
    const char *sex;
    char *fatherId, *motherId;  /* NULL is no value */
    char *ps, *pd;
    char fatherText[16], motherText[16];
} Animal;

/* Apostrophes become backticks, in place. */
static char *backticks(char *s) {
    for (char *p = s; p && *p; ++p)
        if (*p == '\'') *p = '`';
    return s;
}

static int equalsLower(const char *s, const char *lower) {
    for (; *s && *lower; ++s, ++lower) {
        char c = *s >= 'A' && *s <= 'Z' ? (char)(*s + 32) : *s;
        if (c != *lower) return 0;
    }
    return *s == *lower;
}

static const char *sexWord(const char *s) {
    static const char *const male[] = {"m", "male", "dog", "sire", "buck", "cock", "boar", "bull", "b", "c", 0};
    static const char *const female[] = {"f", "female", "bitch", "dam", "doe", "hen", "sow", "cow", "d", "h", 0};
    if (!s) return "undefined";
    for (int i = 0; male[i]; ++i)
        if (equalsLower(s, male[i])) return "male";
    for (int i = 0; female[i]; ++i)
        if (equalsLower(s, female[i])) return "female";
    return "undefined";
}

static void syncFolderOf(const char *path) {
    char *copy = strdup(path);
    int folder = open(dirname(copy), O_RDONLY | O_DIRECTORY);
    if (folder < 0 || fsync(folder) != 0) fail("cannot sync the folder of", path);
    close(folder);
    free(copy);
}

static void syncFile(const char *path) {
    int fd = open(path, O_RDONLY);
    if (fd < 0 || fsync(fd) != 0) fail("cannot sync", path);
    close(fd);
}

static void run(sqlite3 *db, const char *sql) {
    char *error = 0;
    if (sqlite3_exec(db, sql, 0, 0, &error) != SQLITE_OK) fail(sql, error);
}

static void bindText(sqlite3_stmt *insert, int position, const char *value) {
    if (value) sqlite3_bind_text(insert, position, value, -1, SQLITE_STATIC);
    else sqlite3_bind_null(insert, position);
}

int main(int argc, char **argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: import_anchor SCHEMA.sql HERD.csv DESTINATION.cax\n");
        return 2;
    }
    size_t schemaSize, size;
    char *schema = readAll(argv[1], &schemaSize);
    char *text = readAll(argv[2], &size);

    /* Lines, split in place. */
    size_t lines = 0;
    for (size_t i = 0; i < size; ++i) lines += text[i] == '\n';
    char **line = malloc((lines + 2) * sizeof *line);
    size_t count = 0;
    for (char *p = text; *p;) {
        line[count++] = p;
        char *end = strchr(p, '\n');
        if (!end) break;
        *end = 0;
        if (end > p && end[-1] == '\r') end[-1] = 0;
        p = end + 1;
    }
    if (count < 1) fail("no heading line", argv[2]);

    /* Which column holds each field. */
    int column[Columns];
    for (int c = 0; c < Columns; ++c) column[c] = -1;
    {
        int k = 0;
        for (char *h = strtok(line[0], ","); h; h = strtok(0, ","), ++k)
            for (int c = 0; c < Columns; ++c)
                if (strcmp(h, Headings[c]) == 0) column[c] = k;
    }
    const int withSex = column[Sex] >= 0;

    const int animals = (int)count - 1;
    Animal *herd = calloc((size_t)animals + 1, sizeof *herd); /* herd[row], rows from 1 */
    char *fields[64];
    int hasAnimalOne = 0;
    for (int row = 1; row <= animals; ++row) {
        int n = 0;
        char *p = line[row];
        fields[n++] = p;
        for (; *p; ++p)
            if (*p == ',' && n < 64) {
                *p = 0;
                fields[n++] = p + 1;
            }
        Animal *a = &herd[row];
        for (int c = 0; c < Columns; ++c) a->field[c] = column[c] >= 0 && column[c] < n ? fields[column[c]] : 0;
        if (a->field[Uid] && strcmp(a->field[Uid], "1") == 0) hasAnimalOne = 1;
    }

    /* The rows as the file gives them, and the first row of each id. */
    FirstRow byId, byName;
    firstRowInit(&byId, (size_t)animals);
    firstRowInit(&byName, (size_t)animals);
    for (int row = 1; row <= animals; ++row) {
        Animal *a = &herd[row];
        backticks(a->field[Name]);
        backticks(a->field[Colour]);
        backticks(a->field[Breed]);
        backticks(a->field[Notes]);
        backticks(a->field[Weight]);
        backticks(a->field[Litter]);
        backticks(a->field[ShowWins]);
        a->ps = backticks(a->field[Sire]);
        a->pd = backticks(a->field[Dam]);
        a->sex = sexWord(a->field[Sex]);
        const char *dob = a->field[Dob];
        if (dob && !(strlen(dob) >= 8 && dob[4] == '-' && dob[7] == '-')) a->field[Dob] = "";
        a->fatherId = a->field[SireId];
        a->motherId = a->field[DamId];
        if (!hasAnimalOne && a->fatherId && strcmp(a->fatherId, "1") == 0) a->fatherId = 0;
        if (!hasAnimalOne && a->motherId && strcmp(a->motherId, "1") == 0) a->motherId = 0;
        if (a->field[Uid] && *a->field[Uid]) firstRowAdd(&byId, a->field[Uid], row);
        if (a->field[Name]) firstRowAdd(&byName, a->field[Name], row);
    }

    /* The links: by id, then by name where the link is empty. */
    for (int row = 1; row <= animals; ++row) {
        Animal *a = &herd[row];
        for (int parent = 0; parent < 2; ++parent) {
            char **link = parent ? &a->motherId : &a->fatherId;
            char **named = parent ? &a->pd : &a->ps;
            char *linkText = parent ? a->motherText : a->fatherText;
            if (*link && **link) {
                const int found = firstRowFind(&byId, *link);
                if (found) {
                    snprintf(linkText, 16, "%d", found);
                    *link = linkText;
                    *named = herd[found].field[Name] ? herd[found].field[Name] : "";
                    continue;
                }
                *link = "";
            }
            if (*named && **named && !equalsLower(*named, "unknown")) {
                const int found = firstRowFind(&byName, *named);
                if (found) {
                    snprintf(linkText, 16, "%d", found);
                    *link = linkText;
                } else {
                    *link = "";
                }
            }
        }
    }

    /* The sex from parenthood: each link marks its parent, the father before
     * the mother, in tree order; the last mark stays. */
    if (!withSex)
        for (int row = 1; row <= animals; ++row) {
            Animal *a = &herd[row];
            if (a->fatherId && *a->fatherId) herd[atoi(a->fatherId)].sex = "male";
            if (a->motherId && *a->motherId) herd[atoi(a->motherId)].sex = "female";
        }

    /* The file, under a temporary name beside the destination. */
    const size_t length = strlen(argv[3]);
    char *temporary = malloc(length + 8);
    snprintf(temporary, length + 8, "%s.part", argv[3]);
    unlink(temporary);
    sqlite3 *db;
    if (sqlite3_open(temporary, &db) != SQLITE_OK) fail("cannot create", temporary);
    run(db, schema);
    run(db, "BEGIN");
    sqlite3_stmt *insert;
    const char *sql =
        "INSERT INTO tree(name, colour, breed, sex, DOB, oldId, fatherId, motherId, ps, pd, tag, prefix, suffix,"
        " health, cage, notes, BoughtFrom, dateBought, purchasePrice, customfield1, customfield2, customfield3,"
        " customfield4, customfield5, customfield6, customfield7, customfield8, customfield9, customfield10,"
        " customfield11, customfield12)"
        " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, '', '', '', '', '', ?11, '', '', '', ?12, ?13, ?14,"
        " '', '', '', '', '', '', '', '', '')";
    if (sqlite3_prepare_v2(db, sql, -1, &insert, 0) != SQLITE_OK) fail("cannot prepare", sqlite3_errmsg(db));
    for (int row = 1; row <= animals; ++row) {
        const Animal *a = &herd[row];
        bindText(insert, 1, a->field[Name]);
        bindText(insert, 2, a->field[Colour]);
        bindText(insert, 3, a->field[Breed]);
        bindText(insert, 4, a->sex);
        bindText(insert, 5, a->field[Dob]);
        bindText(insert, 6, a->field[Uid]);
        bindText(insert, 7, a->fatherId);
        bindText(insert, 8, a->motherId);
        bindText(insert, 9, a->ps);
        bindText(insert, 10, a->pd);
        bindText(insert, 11, a->field[Notes]);
        bindText(insert, 12, a->field[Weight]);
        bindText(insert, 13, a->field[Litter]);
        bindText(insert, 14, a->field[ShowWins]);
        if (sqlite3_step(insert) != SQLITE_DONE) fail("cannot insert", sqlite3_errmsg(db));
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    run(db,
        "INSERT INTO settings(CustomName1, CustomName2, CustomName3, Version)"
        " VALUES ('weight', 'litter', 'show wins', '20402')");
    run(db, "COMMIT");
    if (sqlite3_close(db) != SQLITE_OK) fail("cannot close", temporary);

    syncFile(temporary);
    if (rename(temporary, argv[3]) != 0) fail("cannot rename", temporary);
    syncFolderOf(argv[3]);
    return 0;
}
