-- The animals of an RSD/CAX file as the converter exports them to CSV: the
-- heading line with the custom fields' captions from the first settings
-- row, then one line per tree row in the order the table holds them. Every
-- field is '' when empty, the date of a value that holds "0:00" and reads as
-- a date (every date of the DATE column `dob`), or its text with commas
-- turned into blanks and line feeds into " - "; the parents are named by
-- the rows their links point to. Each line then gets apostrophes for
-- backticks, and for "$" too unless the first "$" is followed by a digit.
-- The output file is the one `.output` names before this file is read.
.headers off
.mode list
SELECT 'NAME,COLOR,BREED,SEX,DOB,NOTES,FATHER,MOTHER,CAGE NO.,TAG/REG.,PREFIX,SUFFIX,CALL NAME,'
       || CASE WHEN instr(s.CustomName1, '0:00') > 0 AND date(s.CustomName1) IS NOT NULL THEN date(s.CustomName1) ELSE replace(replace(ifnull(s.CustomName1, ''), ',', ' '), char(10), ' - ') END
       || ',' || CASE WHEN instr(s.CustomName2, '0:00') > 0 AND date(s.CustomName2) IS NOT NULL THEN date(s.CustomName2) ELSE replace(replace(ifnull(s.CustomName2, ''), ',', ' '), char(10), ' - ') END
       || ',' || CASE WHEN instr(s.CustomName3, '0:00') > 0 AND date(s.CustomName3) IS NOT NULL THEN date(s.CustomName3) ELSE replace(replace(ifnull(s.CustomName3, ''), ',', ' '), char(10), ' - ') END
       || ',' || CASE WHEN instr(s.CustomName4, '0:00') > 0 AND date(s.CustomName4) IS NOT NULL THEN date(s.CustomName4) ELSE replace(replace(ifnull(s.CustomName4, ''), ',', ' '), char(10), ' - ') END
       || ',' || CASE WHEN instr(s.CustomName5, '0:00') > 0 AND date(s.CustomName5) IS NOT NULL THEN date(s.CustomName5) ELSE replace(replace(ifnull(s.CustomName5, ''), ',', ' '), char(10), ' - ') END
       || ',' || CASE WHEN instr(s.CustomName6, '0:00') > 0 AND date(s.CustomName6) IS NOT NULL THEN date(s.CustomName6) ELSE replace(replace(ifnull(s.CustomName6, ''), ',', ' '), char(10), ' - ') END
       || ',' || CASE WHEN instr(s.CustomName7, '0:00') > 0 AND date(s.CustomName7) IS NOT NULL THEN date(s.CustomName7) ELSE replace(replace(ifnull(s.CustomName7, ''), ',', ' '), char(10), ' - ') END
       || ',' || CASE WHEN instr(s.CustomName8, '0:00') > 0 AND date(s.CustomName8) IS NOT NULL THEN date(s.CustomName8) ELSE replace(replace(ifnull(s.CustomName8, ''), ',', ' '), char(10), ' - ') END
       || ',' || CASE WHEN instr(s.CustomName9, '0:00') > 0 AND date(s.CustomName9) IS NOT NULL THEN date(s.CustomName9) ELSE replace(replace(ifnull(s.CustomName9, ''), ',', ' '), char(10), ' - ') END
       || ',' || CASE WHEN instr(s.CustomName10, '0:00') > 0 AND date(s.CustomName10) IS NOT NULL THEN date(s.CustomName10) ELSE replace(replace(ifnull(s.CustomName10, ''), ',', ' '), char(10), ' - ') END
       || ',' || CASE WHEN instr(s.CustomName11, '0:00') > 0 AND date(s.CustomName11) IS NOT NULL THEN date(s.CustomName11) ELSE replace(replace(ifnull(s.CustomName11, ''), ',', ' '), char(10), ' - ') END
       || ',' || CASE WHEN instr(s.CustomName12, '0:00') > 0 AND date(s.CustomName12) IS NOT NULL THEN date(s.CustomName12) ELSE replace(replace(ifnull(s.CustomName12, ''), ',', ' '), char(10), ' - ') END
FROM (SELECT 1) LEFT JOIN (SELECT * FROM settings ORDER BY id LIMIT 1) s;
SELECT CASE WHEN instr(line, '$') = 0 OR substr(line, instr(line, '$') + 1, 1) GLOB '[0-9]' THEN line
            ELSE replace(line, '$', '''') END
FROM (SELECT replace(CASE WHEN instr(t.name, '0:00') > 0 AND date(t.name) IS NOT NULL THEN date(t.name) ELSE replace(replace(ifnull(t.name, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.colour, '0:00') > 0 AND date(t.colour) IS NOT NULL THEN date(t.colour) ELSE replace(replace(ifnull(t.colour, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.breed, '0:00') > 0 AND date(t.breed) IS NOT NULL THEN date(t.breed) ELSE replace(replace(ifnull(t.breed, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.sex, '0:00') > 0 AND date(t.sex) IS NOT NULL THEN date(t.sex) ELSE replace(replace(ifnull(t.sex, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN date(t.dob) IS NOT NULL THEN date(t.dob) ELSE replace(replace(ifnull(t.dob, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.notes, '0:00') > 0 AND date(t.notes) IS NOT NULL THEN date(t.notes) ELSE replace(replace(ifnull(t.notes, ''), ',', ' '), char(10), ' - ') END
          || ',' || replace(replace(ifnull(f.name, ''), ',', ' '), char(10), ' - ')
          || ',' || replace(replace(ifnull(m.name, ''), ',', ' '), char(10), ' - ')
          || ',' || CASE WHEN instr(t.cage, '0:00') > 0 AND date(t.cage) IS NOT NULL THEN date(t.cage) ELSE replace(replace(ifnull(t.cage, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.tag, '0:00') > 0 AND date(t.tag) IS NOT NULL THEN date(t.tag) ELSE replace(replace(ifnull(t.tag, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.prefix, '0:00') > 0 AND date(t.prefix) IS NOT NULL THEN date(t.prefix) ELSE replace(replace(ifnull(t.prefix, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.suffix, '0:00') > 0 AND date(t.suffix) IS NOT NULL THEN date(t.suffix) ELSE replace(replace(ifnull(t.suffix, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.callname, '0:00') > 0 AND date(t.callname) IS NOT NULL THEN date(t.callname) ELSE replace(replace(ifnull(t.callname, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField1, '0:00') > 0 AND date(t.customField1) IS NOT NULL THEN date(t.customField1) ELSE replace(replace(ifnull(t.customField1, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField2, '0:00') > 0 AND date(t.customField2) IS NOT NULL THEN date(t.customField2) ELSE replace(replace(ifnull(t.customField2, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField3, '0:00') > 0 AND date(t.customField3) IS NOT NULL THEN date(t.customField3) ELSE replace(replace(ifnull(t.customField3, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField4, '0:00') > 0 AND date(t.customField4) IS NOT NULL THEN date(t.customField4) ELSE replace(replace(ifnull(t.customField4, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField5, '0:00') > 0 AND date(t.customField5) IS NOT NULL THEN date(t.customField5) ELSE replace(replace(ifnull(t.customField5, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField6, '0:00') > 0 AND date(t.customField6) IS NOT NULL THEN date(t.customField6) ELSE replace(replace(ifnull(t.customField6, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField7, '0:00') > 0 AND date(t.customField7) IS NOT NULL THEN date(t.customField7) ELSE replace(replace(ifnull(t.customField7, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField8, '0:00') > 0 AND date(t.customField8) IS NOT NULL THEN date(t.customField8) ELSE replace(replace(ifnull(t.customField8, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField9, '0:00') > 0 AND date(t.customField9) IS NOT NULL THEN date(t.customField9) ELSE replace(replace(ifnull(t.customField9, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField10, '0:00') > 0 AND date(t.customField10) IS NOT NULL THEN date(t.customField10) ELSE replace(replace(ifnull(t.customField10, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField11, '0:00') > 0 AND date(t.customField11) IS NOT NULL THEN date(t.customField11) ELSE replace(replace(ifnull(t.customField11, ''), ',', ' '), char(10), ' - ') END
          || ',' || CASE WHEN instr(t.customField12, '0:00') > 0 AND date(t.customField12) IS NOT NULL THEN date(t.customField12) ELSE replace(replace(ifnull(t.customField12, ''), ',', ' '), char(10), ' - ') END, '`', '''') AS line
      FROM tree t LEFT JOIN tree f ON f.id = t.fatherId LEFT JOIN tree m ON m.id = t.motherId
      ORDER BY t.rowid
      LIMIT -1 OFFSET 0);
