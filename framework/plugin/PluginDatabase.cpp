// The C++ faces of plug-in databases and record sets: PluginDatabase, whose
// generic operations reach the plug-in's engine table, and the record set
// over a plug-in's cursor table.

#include <cstring>

#include "framework/plugin/PluginHost.h"
#include "framework/plugin/PluginHostObjects.h"

// ---- record sets ---------------------------------------------------------------

void* PluginRecordSetCursor(HostObject recordSet) {
    return recordSet && recordSet->kind == HostObjectData::Kind::RecordSet ? recordSet->cursor : nullptr;
}

namespace {

// The date and time records of record-set values, in the machine's order.
struct DateValue {
    int16_t year;
    uint16_t month, day;
};
struct TimeValue {
    uint16_t hour, minute, second;
};
struct TimestampValue {
    int16_t year;
    uint16_t month, day, hour, minute, second;
    uint32_t fraction;
};

template <class T>
T readValue(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

String twoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

class PluginRecordSet : public RecordSet {
public:
    PluginRecordSet(HostObject recordSet, HostObject database)
        : object_(PluginObjectRef::Adopt(recordSet)), database_(PluginObjectRef::Share(database)) {
        table_ = recordSet->cursorTable;
        cursor_ = recordSet->cursor;
        MoveNext();  // a new record set stands on its first row
    }
    ~PluginRecordSet() override { Close(); }

    bool Eof() override { return !onRow_; }
    void MoveNext() override {
        onRow_ = open() && table_->nextRow && table_->nextRow(cursor_) != 0;
        RethrowPendingPluginException();
    }
    void MoveFirst() override { scroll(table_ ? table_->firstRow : nullptr); }
    void MovePrevious() override { scroll(table_ ? table_->previousRow : nullptr); }
    void MoveLast() override { scroll(table_ ? table_->lastRow : nullptr); }
    int64_t RecordCount() override { return open() && table_->rowCount ? table_->rowCount(cursor_) : 0; }
    int FieldCount() override { return open() && table_->columnCount ? int(table_->columnCount(cursor_)) : 0; }

    String ColumnName(int index) override {
        if (!open() || !table_->columnName) return "";
        HostString name = table_->columnName(cursor_, index);
        String text = HostStringText(name);
        ReleaseHostString(name);
        return text;
    }

    Variant ColumnValue(int index) override {
        if (!open() || !onRow_ || !table_->columnValue) return Variant();
        void* value = nullptr;
        int32_t type = 0;
        int64_t length = 0;
        table_->columnValue(cursor_, index, &value, &type, &length);
        RethrowPendingPluginException();
        if (!value) return Variant();
        return toVariant(value, type, length);
    }

    void DeleteRecord() override {
        if (open() && table_->deleteRow) table_->deleteRow(cursor_);
    }

    void Close() override {
        HostObject object = object_.get();
        if (!object || object->closed) return;
        object->closed = true;
        if (table_ && table_->close) table_->close(cursor_);
        onRow_ = false;
    }

protected:
    void BeginEdit() override {
        if (open() && table_->editRow) table_->editRow(cursor_);
    }

    void WriteChanges(const std::vector<std::pair<int, Variant>>& changes) override {
        if (!open() || !table_->updateRow) return;
        std::vector<FieldChange> nodes(changes.size());
        for (size_t i = 0; i < changes.size(); ++i) {
            nodes[i].next = i + 1 < changes.size() ? &nodes[i + 1] : nullptr;
            nodes[i].column = uint32_t(changes[i].first);
            nodes[i].value = NewHostString(changes[i].second.StringValue());
        }
        table_->updateRow(cursor_, nodes.empty() ? nullptr : nodes.data());
        for (FieldChange& node : nodes) ReleaseHostString(node.value);
        RethrowPendingPluginException();
    }

private:
    bool open() const { return table_ && object_ && !object_.get()->closed; }

    void scroll(void (*move)(void*)) {
        if (!open() || !move) return;
        move(cursor_);
        onRow_ = true;
        RethrowPendingPluginException();
    }

    static Variant toVariant(const void* value, int32_t type, int64_t length) {
        switch (type) {
        case HOST_TYPE_NULL: return Variant();
        case HOST_TYPE_BYTE:  // drivers hand out small integers in a 16-bit area
            return length >= 2 ? Variant(int64_t(readValue<int16_t>(value)))
                               : Variant(int64_t(readValue<uint8_t>(value)));
        case HOST_TYPE_SHORT: return Variant(int64_t(readValue<int16_t>(value)));
        case HOST_TYPE_INTEGER: return Variant(int64_t(readValue<int32_t>(value)));
        case HOST_TYPE_INT64: return Variant(readValue<int64_t>(value));
        case HOST_TYPE_SINGLE: return Variant(double(readValue<float>(value)));
        case HOST_TYPE_DOUBLE:
        case HOST_TYPE_CURRENCY: return Variant(readValue<double>(value));
        case HOST_TYPE_BOOLEAN: return Variant(readValue<uint8_t>(value) != 0);
        case HOST_TYPE_DATE: {
            auto d = readValue<DateValue>(value);
            return Variant(New<Date>(d.year, d.month, d.day));
        }
        case HOST_TYPE_TIME: {
            auto t = readValue<TimeValue>(value);
            return Variant(twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second));
        }
        case HOST_TYPE_TIMESTAMP: {
            auto t = readValue<TimestampValue>(value);
            return Variant(New<Date>(t.year, t.month, t.day, t.hour, t.minute, t.second));
        }
        case HOST_TYPE_STRING_OBJECT: return Variant(HostStringText(readValue<HostString>(value)));
        default:  // text, decimal and binary values: their bytes
            return Variant(String(static_cast<const char*>(value), size_t(length > 0 ? length : 0)));
        }
    }

    PluginObjectRef object_;
    PluginObjectRef database_;
    DbCursorTable* table_ = nullptr;
    void* cursor_ = nullptr;
    bool onRow_ = false;
};

}  // namespace

Ref<RecordSet> WrapPluginRecordSet(HostObject recordSet, HostObject database) {
    if (!recordSet) return nullptr;
    if (recordSet->kind != HostObjectData::Kind::RecordSet) {
        UnlockPluginObject(recordSet);
        return nullptr;
    }
    return Ref<RecordSet>(std::make_shared<PluginRecordSet>(recordSet, database));
}

// ---- databases -------------------------------------------------------------------

PluginDatabase::PluginDatabase(HostObject object) : object_(PluginObjectRef::Adopt(object)) {
    if (object) object->frontend = this;
}

PluginDatabase::~PluginDatabase() {
    if (HostObject object = object_.get()) object->frontend = nullptr;
}

bool PluginDatabase::IsConnected() const { return object_ && object_.get()->connected; }
bool PluginDatabase::Connect() { return IsConnected(); }

DbEngineTable* PluginDatabase::Engine() const {
    HostObject object = object_.get();
    return object && object->kind == HostObjectData::Kind::Database ? object->engine : nullptr;
}

void* PluginDatabase::EngineDatabase() const { return object_ ? object_.get()->db : nullptr; }

void PluginDatabase::SetUnavailable(int64_t code, const String& message) {
    unavailableCode_ = code;
    unavailableMessage_ = message;
}

Ref<RecordSet> PluginDatabase::WrapRecordSet(HostObject recordSet) {
    RethrowPendingPluginException();
    return WrapPluginRecordSet(recordSet, object_.get());
}

Ref<RecordSet> PluginDatabase::RecordSetFrom(HostObject (*DbEngineTable::*entry)(void*, HostString),
                                             const String& text) {
    DbEngineTable* engine = Engine();
    if (!engine || !(engine->*entry)) return nullptr;
    HostString argument = NewHostString(text);
    HostObject result = (engine->*entry)(EngineDatabase(), argument);
    ReleaseHostString(argument);
    return WrapRecordSet(result);
}

void PluginDatabase::Run(void (*DbEngineTable::*entry)(void*)) {
    if (DbEngineTable* engine = Engine(); engine && (engine->*entry)) (engine->*entry)(EngineDatabase());
    RethrowPendingPluginException();
}

Ref<RecordSet> PluginDatabase::SQLSelect(const String& sql) { return RecordSetFrom(&DbEngineTable::select, sql); }

void PluginDatabase::SQLExecute(const String& sql) {
    DbEngineTable* engine = Engine();
    if (!engine || !engine->execute) return;
    HostString text = NewHostString(sql);
    engine->execute(EngineDatabase(), text);
    ReleaseHostString(text);
    RethrowPendingPluginException();
}

void PluginDatabase::InsertRecord(const String& table, const DatabaseRecord& record) {
    DbEngineTable* engine = Engine();
    if (!engine || !engine->addRecord) return;
    const auto& values = record.Values();
    std::vector<InsertValue> nodes(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const Variant& value = values[i].second;
        InsertValue& node = nodes[i];
        node.next = i + 1 < values.size() ? &nodes[i + 1] : nullptr;
        node.name = NewHostString(values[i].first);
        switch (value.GetType()) {
        case Variant::Type::Nil: node.type = HOST_TYPE_NULL; node.value = NewHostString(""); break;
        case Variant::Type::Boolean:
            node.type = HOST_TYPE_BOOLEAN;
            node.value = NewHostString(value.BooleanValue() ? "1" : "0");
            break;
        case Variant::Type::Integer: node.type = HOST_TYPE_INT64; node.value = NewHostString(value.StringValue()); break;
        case Variant::Type::Double: node.type = HOST_TYPE_DOUBLE; node.value = NewHostString(value.StringValue()); break;
        case Variant::Type::Date: node.type = HOST_TYPE_TIMESTAMP; node.value = NewHostString(value.StringValue()); break;
        case Variant::Type::Text: node.type = HOST_TYPE_TEXT; node.value = NewHostString(value.StringValue()); break;
        }
    }
    HostString name = NewHostString(table);
    engine->addRecord(EngineDatabase(), name, nodes.empty() ? nullptr : nodes.data());
    ReleaseHostString(name);
    for (InsertValue& node : nodes) {
        ReleaseHostString(node.name);
        ReleaseHostString(node.value);
    }
    RethrowPendingPluginException();
}

void PluginDatabase::Commit() { Run(&DbEngineTable::commit); }

void PluginDatabase::Rollback() { Run(&DbEngineTable::rollback); }

void PluginDatabase::Close() {
    if (object_) object_.get()->connected = false;
    Run(&DbEngineTable::close);
}

Ref<RecordSet> PluginDatabase::TableSchema() {
    DbEngineTable* engine = Engine();
    if (!engine || !engine->tableSchema) return nullptr;
    return WrapRecordSet(engine->tableSchema(EngineDatabase()));
}

Ref<RecordSet> PluginDatabase::FieldSchema(const String& table) {
    return RecordSetFrom(&DbEngineTable::fieldSchema, table);
}

Ref<RecordSet> PluginDatabase::IndexSchema(const String& table) {
    return RecordSetFrom(&DbEngineTable::indexSchema, table);
}

int64_t PluginDatabase::ErrorCode() const {
    DbEngineTable* engine = Engine();
    if (!engine || !engine->lastErrorCode) return unavailableCode_;
    return engine->lastErrorCode(EngineDatabase());
}

String PluginDatabase::ErrorMessage() const {
    DbEngineTable* engine = Engine();
    if (!engine || !engine->lastErrorString) return unavailableMessage_;
    HostString text = engine->lastErrorString(EngineDatabase());
    String message = HostStringText(text);
    ReleaseHostString(text);
    return message;
}
