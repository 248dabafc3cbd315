-- The parents' names from their source ids: every row whose father id is
-- not empty gets in `ps` the name of the first row (lowest id) whose
-- `oldId` is that id, or '' when no row has it; the same for the mother
-- into `pd`. The indexes are those the converter makes for its linking, and
-- go again once the links and the sex are written.
BEGIN;
CREATE INDEX converter_link_oldId ON tree(oldId);
CREATE INDEX converter_link_name ON tree(name);
UPDATE tree SET ps = ifnull((SELECT p.name FROM tree p WHERE p.oldId = tree.fatherId ORDER BY p.id LIMIT 1), '')
WHERE fatherId <> '';
UPDATE tree SET pd = ifnull((SELECT p.name FROM tree p WHERE p.oldId = tree.motherId ORDER BY p.id LIMIT 1), '')
WHERE motherId <> '';
