#pragma once
// RSD/CAX files that someone made to harm the program that reads them,
// written by the sqlite3 tool onto a file with the twelve tables: tables
// that are views or virtual tables, or whose schema text is not a table's.
// An export must refuse each as no RSD/CAX file, with nothing written, no
// crash and no end.

#include <string>
#include <vector>

namespace hostileSources {

struct Source {
    const char* what;
    std::string sql;  // run on a file with the twelve tables
};

inline std::vector<Source> sources() {
    const std::string tree = "DROP TABLE tree;";
    return {
        {"a tree made AS SELECT, in the schema",
         "PRAGMA writable_schema = ON;"
         "UPDATE sqlite_master SET sql = 'CREATE TABLE tree AS SELECT 1 AS id, 2 AS name' WHERE name = 'tree';"},
        {"a view reading beyond a node", tree + "CREATE VIEW tree AS SELECT 1 AS id, rtreenode(2, x'0000FFFF') AS name;"},
        {"a view showing memory",
         tree + "CREATE VIEW tree AS SELECT 1 AS id, rtreenode(2, x'00000010') AS name, "
                "hex(fts3_tokenizer('simple')) AS notes;"},
        {"an endless recursive view",
         tree + "CREATE VIEW tree AS WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r) "
                "SELECT x AS id, 'a' AS name FROM r;"},
        {"a view that computes for minutes",
         tree + "CREATE VIEW tree AS WITH RECURSIVE r(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM r "
                "WHERE x < 1000000000000) SELECT max(x) AS id, 'a' AS name FROM r;"},
        {"a virtual tree", tree + "CREATE VIRTUAL TABLE tree USING fts4(id, name);"},
        {"settings that are a view",
         "DROP TABLE settings; CREATE VIEW settings AS SELECT hex(fts3_tokenizer('simple')) AS customField1;"
         "INSERT INTO tree(name) VALUES ('Bella');"},
        {"matings that are a view",
         "DROP TABLE breeding; CREATE VIEW breeding AS SELECT hex(fts3_tokenizer('simple')) AS notes;"
         "INSERT INTO tree(name) VALUES ('Bella');"},
    };
}

}  // namespace hostileSources
