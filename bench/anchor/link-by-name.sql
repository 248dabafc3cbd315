-- The parents' links by name, only where a link is empty after the links
-- by id: a name (`ps`, `pd`) that is neither empty nor "unknown" in any case
-- links to the animal with the lowest tree id of that name, apostrophes
-- taken as backticks, or to '' when no animal has it.
UPDATE tree
SET fatherId = ifnull((SELECT min(p.id) FROM tree p WHERE p.name = replace(tree.ps, '''', '`')), '')
WHERE ifnull(fatherId, '') = '' AND ps <> '' AND lower(ps) <> 'unknown';
UPDATE tree
SET motherId = ifnull((SELECT min(p.id) FROM tree p WHERE p.name = replace(tree.pd, '''', '`')), '')
WHERE ifnull(motherId, '') = '' AND pd <> '' AND lower(pd) <> 'unknown';
