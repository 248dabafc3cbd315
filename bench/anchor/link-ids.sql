-- The parents' links from their names: every row whose `ps` is neither
-- empty nor "unknown" (in any case) gets in `fatherId` the id of the first
-- row (lowest id) of that name, apostrophes in their backtick form, or ''
-- when no row has it; the same for `pd` and `motherId`.
UPDATE tree SET fatherId = ifnull((SELECT p.id FROM tree p WHERE p.name = replace(tree.ps, '''', '`')
                                   ORDER BY p.id LIMIT 1), '')
WHERE ps <> '' AND lower(ps) <> 'unknown';
UPDATE tree SET motherId = ifnull((SELECT p.id FROM tree p WHERE p.name = replace(tree.pd, '''', '`')
                                   ORDER BY p.id LIMIT 1), '')
WHERE pd <> '' AND lower(pd) <> 'unknown';
