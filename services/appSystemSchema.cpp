#include "services/appSystem.h"

namespace appSystem {

namespace {

// The tables of an RSD/CAX file, in creation order. The statements are the
// file format that the Brevolan program reads: names, order and type names
// of the columns stand exactly as it expects them.
const char* const RsdTables[] = {
    "Create Table settings (id integer NOT NULL PRIMARY KEY, Breeder Varchar, Email Varchar, StudNum Varchar, "
    "PhoneNum Varchar, Background Varchar, Logo Varchar, Stud Varchar, Animal Varchar, Male Varchar, Female Varchar, "
    "Gestation integer, Country Varchar, CustomDetails Varchar, CustomName1 Varchar, CustomName2 Varchar, CustomName3 "
    "Varchar, Organisation Varchar, Father Varchar, Mother Varchar, Prefix Varchar, CustomName4 Varchar, CustomName5 "
    "Varchar, NestBox Varchar, Wean Varchar, Rebreed Varchar, WeightMeasure Varchar, Version Varchar, CustomName6 "
    "Varchar, CustomName7 Varchar, CustomName8 Varchar, CustomName9 Varchar, CustomName10 Varchar, CustomName11 "
    "Varchar, CustomName12 Varchar, Shelter Varchar, BreederName Varchar)",

    "Create Table tree(id integer NOT NULL PRIMARY KEY, fatherId Varchar, motherId Varchar, title Varchar, name "
    "Varchar, colour Varchar, breed Varchar, sex Varchar, dob DATE, notes varchar, ps Varchar, pd Varchar, cage "
    "Varchar, tag Varchar, customField1 Varchar, customField2 Varchar, customField3 Varchar,  customfield4 Varchar, "
    "customField5 Varchar, customField6 Varchar,  picture Varchar, deceased Varchar, dateDeceased DATE,  health MEMO, "
    "journal MEMO, callname Varchar, sold Varchar, datesold DATE, breeder Varchar, owner Varchar, prefix Varchar, "
    "suffix Varchar, CustomField7 Varchar, CustomField8 Varchar, CustomField9 Varchar, CustomField10 Varchar, "
    "CustomField11 Varchar, CustomField12 Varchar, coi Varchar, DateAdded DATE,BoughtFrom Varchar,DateBought "
    "DATE,purchasePrice Varchar,birthEstimate Varchar,oldId Integer,leased Varchar)",

    "Create Table weights(id integer NOT NULL PRIMARY KEY, nameId varchar, weightDate DATE, weightTime Varchar, name "
    "Varchar, weight Varchar)",

    "Create table vaccinations(id integer NOT NULL PRIMARY KEY, nameId varchar, duedate DATE, name Varchar, "
    "vaccination Varchar, done Varchar)",

    "Create table breeding(id integer NOT NULL PRIMARY KEY, fatherId varchar, motherId varchar, breed Varchar, Boar "
    "Varchar, Sow Varchar, mated DATE,due DATE, born DATE, numBoars Varchar, numSows Varchar, notes Varchar, sold "
    "Varchar, unsuccessful Varchar,stillBorn Varchar)",

    "Create table soldstock(id integer NOT NULL PRIMARY KEY, nameId varchar, Offspring Varchar,DateSold DATE, SoldTo "
    "Varchar, Notes Varchar,Price Varchar)",

    "Create table contacts(id integer NOT NULL PRIMARY KEY, name Varchar, address Varchar, city Varchar, state "
    "Varchar, country Varchar, postcode Varchar, phone Varchar, email Varchar, notes String, category Varchar)",

    "Create table reminders(id integer NOT NULL PRIMARY KEY, duedate DATE, reminder Varchar, done Varchar)",

    "Create table shows(id integer NOT NULL PRIMARY KEY,nameId varchar,  name Varchar, show Varchar, showDate DATE, "
    "class Varchar, competitorNum String, place Varchar, judge Varchar, awards Varchar)",

    "Create table print(id integer NOT NULL PRIMARY KEY, Name varChar, Orientation varChar, Margin Varchar, FontSize "
    "varChar, FontName varChar, FontColour Varchar, FontBold Varchar, FontItalic Varchar, SubjectFontSize Varchar, "
    "SubjectFontName varChar, SubjectFontColour Varchar, SubjectFontBold Varchar, SubjectFontItalic Varchar, "
    "TitleFontSize varChar, TitleFontName varChar, TitleFontColour Varchar, TitleFontBold Varchar, TitleFontItalic "
    "Varchar, ShowBorder Varchar, WhichGraphic Varchar, ShowShadow Varchar, PicSize varChar, LineColour Varchar, "
    "Generationchoice varChar, PrintWhat Varchar, FieldChoices varChar, picLeft varChar, picTop varChar,background "
    "Varchar, bracketWidth Varchar, detailsLeft Varchar, detailsTop Varchar, certLeft Varchar, certTop Varchar, "
    "otherDetailsLeft Varchar, otherDetailsTop Varchar, otherDetails Varchar, wrapLength varChar, objectPositions "
    "Varchar)",

    "Create table expenditure(id integer NOT NULL PRIMARY KEY, nameId varchar, expense_date DATE, name Varchar, "
    "details Varchar, expense Varchar, income Varchar)",

    "Create table journal(id integer NOT NULL PRIMARY KEY, nameId varchar, journalDate DATE, note Varchar)",
};

}  // namespace

bool makeRSDfields(const Ref<Database>& database) {
    for (const char* statement : RsdTables) {
        database->SQLExecute(statement);
        if (database->ErrorCode() != 0) return false;
    }
    database->Commit();
    return database->ErrorCode() == 0;
}

}  // namespace appSystem
