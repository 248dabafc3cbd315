-- The parents' links by id. A parent id is compared as text with the
-- animals' ids as the file wrote them ("007" and "7" are two animals): tree
-- row n is the herd's data line n. The animal with the lowest tree id among
-- those with that id is the parent: the link becomes its tree id, and the
-- parent's name (`ps`, `pd`) its name. A parent id that no animal has
-- empties the link and keeps the name the file gave. The index on `name`
-- serves the links by name; it goes again once the links and the sex are
-- written.
BEGIN;
CREATE INDEX converter_link_name ON tree(name);
CREATE TEMP TABLE first_with_id AS
SELECT uid AS sourceId, min(rowid) - 1 AS id FROM herd WHERE rowid > 1 AND uid <> '' GROUP BY uid;
CREATE UNIQUE INDEX temp.first_with_id_source ON first_with_id(sourceId);
UPDATE tree
SET ps = CASE WHEN fatherId IN (SELECT sourceId FROM first_with_id)
              THEN (SELECT ifnull(p.name, '') FROM first_with_id f JOIN tree p ON p.id = f.id
                    WHERE f.sourceId = tree.fatherId)
              ELSE ps END,
    fatherId = ifnull((SELECT id FROM first_with_id WHERE sourceId = tree.fatherId), '')
WHERE fatherId <> '';
UPDATE tree
SET pd = CASE WHEN motherId IN (SELECT sourceId FROM first_with_id)
              THEN (SELECT ifnull(p.name, '') FROM first_with_id f JOIN tree p ON p.id = f.id
                    WHERE f.sourceId = tree.motherId)
              ELSE pd END,
    motherId = ifnull((SELECT id FROM first_with_id WHERE sourceId = tree.motherId), '')
WHERE motherId <> '';
