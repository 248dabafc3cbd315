-- The herd's animals into `tree`, one row per data line, as the converter
-- stores them: the lines are in the temporary table `herd` (its first row
-- is the heading line), whose columns carry the bench herd's headings.
-- Names and texts get backticks for apostrophes, the sex word becomes
-- "male", "female" or "undefined", a date whose 5th and 8th characters are
-- "-" is kept (the herd has no other kind), a parent id of exactly "1" is
-- left out unless an animal has the id "1", and the columns that the herd
-- lacks are stored empty. The three
-- headings the converter does not know take the custom fields 1 to 3, with
-- their lower-cased headings as captions in `settings`.
BEGIN;
INSERT INTO tree(name, colour, breed, sex, DOB, oldId, fatherId, motherId, ps, pd, tag, prefix, suffix, health,
                 cage, notes, BoughtFrom, dateBought, purchasePrice,
                 customfield1, customfield2, customfield3, customfield4, customfield5, customfield6,
                 customfield7, customfield8, customfield9, customfield10, customfield11, customfield12)
SELECT replace(name, '''', '`'),
       replace(colour, '''', '`'),
       replace(breed, '''', '`'),
       CASE
         WHEN lower(sex) IN ('m', 'male', 'dog', 'sire', 'buck', 'cock', 'boar', 'bull', 'b', 'c') THEN 'male'
         WHEN lower(sex) IN ('f', 'female', 'bitch', 'dam', 'doe', 'hen', 'sow', 'cow', 'd', 'h') THEN 'female'
         ELSE 'undefined'
       END,
       CASE WHEN substr(dob, 5, 1) = '-' AND substr(dob, 8, 1) = '-' THEN dob ELSE '' END,
       uid,
       CASE WHEN sireid = '1' AND NOT one.found THEN NULL ELSE sireid END,
       CASE WHEN damid = '1' AND NOT one.found THEN NULL ELSE damid END,
       replace(sire, '''', '`'),
       replace(dam, '''', '`'),
       '', '', '', '', '',
       replace(notes, '''', '`'),
       '', '', '',
       replace(weight, '''', '`'),
       replace(litter, '''', '`'),
       replace("show wins", '''', '`'),
       '', '', '', '', '', '', '', '', ''
FROM herd, (SELECT EXISTS (SELECT 1 FROM herd WHERE rowid > 1 AND uid = '1') AS found) AS one
WHERE herd.rowid > 1
ORDER BY herd.rowid;
INSERT INTO settings(CustomName1, CustomName2, CustomName3) VALUES ('weight', 'litter', 'show wins');
COMMIT;
