-- The sex from parenthood, for a herd without a sex column: a father
-- becomes "male", a mother "female". A link rewritten from the parent's
-- name holds the parent's id; a link whose name was empty or "unknown"
-- still holds the parent's source id (`oldId`). Each child row marks its
-- father, then its mother, in row order, so an animal named both as a
-- father and as a mother keeps the sex of its last mention.
CREATE TEMP TABLE parenthood AS
SELECT p.id AS parent, 2 * c.id AS mention, 'male' AS sex
FROM tree c JOIN tree p ON p.id = c.fatherId
WHERE c.fatherId <> '' AND c.ps <> '' AND lower(c.ps) <> 'unknown'
UNION ALL
SELECT p.id, 2 * c.id, 'male'
FROM tree c JOIN tree p ON p.oldId = c.fatherId
WHERE c.fatherId <> '' AND NOT (ifnull(c.ps, '') <> '' AND lower(c.ps) <> 'unknown')
UNION ALL
SELECT p.id, 2 * c.id + 1, 'female'
FROM tree c JOIN tree p ON p.id = c.motherId
WHERE c.motherId <> '' AND c.pd <> '' AND lower(c.pd) <> 'unknown'
UNION ALL
SELECT p.id, 2 * c.id + 1, 'female'
FROM tree c JOIN tree p ON p.oldId = c.motherId
WHERE c.motherId <> '' AND NOT (ifnull(c.pd, '') <> '' AND lower(c.pd) <> 'unknown');
CREATE INDEX temp.parenthood_parent ON parenthood(parent, mention);
UPDATE tree SET sex = (SELECT sex FROM parenthood WHERE parent = tree.id ORDER BY mention DESC LIMIT 1)
WHERE id IN (SELECT parent FROM parenthood);
