#include "convert/cavDatabase.h"

#include "framework/Interaction.h"
#include "services/appSystem.h"

namespace cavDatabase {

const String TreePrefix =
    "INSERT INTO tree (name,colour,breed,sex,dob,oldId,fatherId,motherId,ps,pd,tag,prefix,suffix,health,cage,notes,"
    "customfield1,customfield2,customfield3,customfield4,customfield5,customfield6,customfield7,customfield8,"
    "customfield9,customfield10,customfield11,customfield12)VALUES ('";

namespace {

// A value of a connection text: as it is, or, when it holds a ";" (which
// would end it) or a brace, in braces with each "}" doubled.
String attributeValue(const String& value) {
    if (value.find_first_of(";{}") == String::npos) return value;
    return "{" + ReplaceAll(value, "}", "}}") + "}";
}

// The longest connection text that the connector hands to the driver whole.
constexpr size_t LongestConnectionText = 4095;

}  // namespace

String connectionText(const String& path) {
    return "DRIVER={Microsoft Access Driver (*.mdb)};" + String("DBQ=") + attributeValue(path) + ";" +
           "UID=;PWD=qe7rtmoxa;";
}

String unusablePath(const String& path) {
    // The driver is given wide text, made of UTF-8: other bytes would be
    // lost on the way and the path would name another file.
    if (!IsValidUTF8(path))
        return "The name of the file or of a folder on its path is not UTF-8 text, and the ODBC driver can only be "
               "given names in UTF-8. Rename the file or folder and try again.";
    const String text = connectionText(path);
    if (text.size() > LongestConnectionText) {
        const size_t longest = LongestConnectionText - (text.size() - path.size());
        return "The path is " + Str(int64_t(path.size())) + " bytes long, and the ODBC driver can be given at most " +
               Str(int64_t(longest)) + ". Move the database into a folder with a shorter path and try again.";
    }
    return String();
}

Insert::Insert(const String& prefix) : sql_(prefix) {
    // The prefix opens the first value; each value brings its own quoting.
    if (!sql_.empty() && sql_.back() == '\'') sql_.pop_back();
    sql_.reserve(sql_.size() + 512);
}

Insert& Insert::value(std::string_view text) {
    if (!first_) sql_ += ',';
    first_ = false;
    appSystem::appendRmaLiteral(sql_, text);
    return *this;
}

Insert& Insert::dateOrNumber(std::string_view text) { return text.empty() ? null() : value(text); }

Insert& Insert::null() {
    if (!first_) sql_ += ',';
    first_ = false;
    sql_ += "NULL";
    return *this;
}

Ref<ODBCDatabase> connect(const String& path) {
    if (const String why = unusablePath(path); !why.empty()) {
        Beep();
        MsgBox("The Brevolan database cannot be opened:" + EndOfLine + ConvertEncoding(path, Encoding::UTF8) +
               EndOfLine + EndOfLine + why);
        return nullptr;
    }
    Ref<ODBCDatabase> db = New<ODBCDatabase>();
    db->SetDataSource(connectionText(path));
    if (db->Connect()) return db;
    Beep();
    MsgBox("Database Error: " + Str(db->ErrorCode()) + EndOfLine + EndOfLine + db->ErrorMessage());
    return nullptr;
}

namespace {

const String UnableToConnect =
    "Unable to connect to Brevolan database. Make sure the database isn't opened in your Brevolan program.";

// ODBC's connection attribute of autocommit, and its value for off.
constexpr int64_t AutocommitAttribute = 102, AutocommitOff = 0;

}  // namespace

bool beginTransaction(const Ref<ODBCDatabase>& db) {
    db->SetConnectionAttribute(AutocommitAttribute, AutocommitOff);
    return db->ErrorCode() == 0;
}

String noneWritten(int64_t total) {
    return "None of the " + Str(total) + " records were written to the Brevolan database.";
}

RowWriter::RowWriter(Ref<ODBCDatabase> db, Commits commits) : db_(std::move(db)), commits_(commits) {}

bool RowWriter::connected() {
    if (commits_ == Commits::EachRow) {
        if (db_->Connect()) return true;
        MsgBox(UnableToConnect);
        return false;
    }
    // A connection made anew has autocommit on: the transaction went with
    // the lost one.
    if (db_->Connect() && db_->GetConnectionAttribute(AutocommitAttribute).IntegerValue() == AutocommitOff)
        return true;
    if (firstFailure_.empty()) firstFailure_ = UnableToConnect;
    return false;
}

bool RowWriter::write(const String& statement) {
    ++rows_;
    // In one transaction a lost connection undoes every row whenever it is
    // found, so it is not looked for before every row: the two driver calls
    // would cost the import several percent.
    const bool looks = commits_ == Commits::EachRow || (rows_ - 1) % RowsBetweenConnectionChecks == 0;
    if (looks && !connected()) {
        ++skipped_;
        return false;
    }
    db_->SQLExecute(statement);
    const int64_t code = db_->ErrorCode();
    if (code == 0) {
        ++appSystem::output.recordsWritten;
        if (commits_ == Commits::EachRow) commit();
        return true;
    }
    const String message = db_->ErrorMessage();
    if (!looks && !connected()) {
        // Refused because the connection had gone: told as such.
        ++skipped_;
        return false;
    }
    if (refused_++ == 0) refusal_ = message;
    noteFailure(code, message);
    if (commits_ == Commits::EachRow) commit();
    return false;
}

bool RowWriter::commit() {
    // A file that went away after the last look would otherwise take the
    // commit and keep none of it.
    if (commits_ == Commits::OneTransaction && !connected()) return false;
    db_->Commit();
    if (db_->ErrorCode() == 0) return true;
    if (commitFailure_.empty()) commitFailure_ = db_->ErrorMessage();
    noteFailure(db_->ErrorCode(), db_->ErrorMessage());
    return false;
}

void RowWriter::rollback() {
    db_->Rollback();
    appSystem::output.recordsWritten = 0;
}

void RowWriter::noteFailure(int64_t code, const String& message) {
    if (firstFailure_.empty()) firstFailure_ = "Database Error: " + Str(code) + EndOfLine + EndOfLine + message;
}

namespace {
String notWrittenLine(int64_t notWritten, int64_t rows) {
    if (!notWritten) return String();
    return EndOfLine + Str(notWritten) + " of " + Str(rows) + " records were not written to the Brevolan database.";
}
}  // namespace

String RowWriter::failure() const {
    if (firstFailure_.empty() || commits_ == Commits::OneTransaction) return firstFailure_;
    return firstFailure_ + notWrittenLine(notWritten(), rows_);
}

String RowWriter::problems() const {
    String text = notWrittenLine(notWritten(), rows_);
    if (refused_) text += EndOfLine + "Reason given by the database: " + refusal_;
    if (!commitFailure_.empty()) text += EndOfLine + "The Brevolan database could not save: " + commitFailure_;
    return text;
}

}  // namespace cavDatabase
