-- The index of the links goes, the settings row gets the version stamp,
-- and everything since the links began is committed at once.
DROP INDEX converter_link_name;
UPDATE settings SET Version = '20402' WHERE id = (SELECT min(id) FROM settings);
COMMIT;
