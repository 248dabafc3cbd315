-- The sex from parenthood, for a herd without a sex column: every animal
-- that a link names (by tree id) becomes "male" when it is somebody's father
-- and "female" when it is somebody's mother. The rows mark their parents in
-- tree order, the father before the mother, and the last mark stays: an
-- animal named both as a father and as a mother keeps the sex of its last
-- mention.
CREATE TEMP TABLE parenthood AS
SELECT p.id AS parent, 2 * c.id AS mention, 'male' AS sex
FROM tree c JOIN tree p ON p.id = c.fatherId
WHERE c.fatherId <> ''
UNION ALL
SELECT p.id, 2 * c.id + 1, 'female'
FROM tree c JOIN tree p ON p.id = c.motherId
WHERE c.motherId <> '';
CREATE INDEX temp.parenthood_parent ON parenthood(parent, mention);
UPDATE tree SET sex = (SELECT sex FROM parenthood WHERE parent = tree.id ORDER BY mention DESC LIMIT 1)
WHERE id IN (SELECT parent FROM parenthood);
