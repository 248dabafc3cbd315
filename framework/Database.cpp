#include "framework/Database.h"

DatabaseField::DatabaseField(std::shared_ptr<RecordSet> owner, int index, String name, Variant value)
    : owner_(std::move(owner)), index_(index), name_(std::move(name)), value_(std::move(value)) {}

void DatabaseField::SetValue(const Variant& value) {
    value_ = value;
    if (owner_) owner_->SetColumn(index_, value);
}

Ref<DatabaseField> RecordSet::Field(const String& name) {
    const int count = FieldCount();
    for (int i = 0; i < count; ++i) {
        if (TextEquals(ColumnName(i), name))
            return New<DatabaseField>(shared_from_this(), i, ColumnName(i), ColumnValue(i));
    }
    return nullptr;
}

Ref<DatabaseField> RecordSet::IdxField(int index) {
    if (index < 1 || index > FieldCount()) return nullptr;
    return New<DatabaseField>(shared_from_this(), index - 1, ColumnName(index - 1), ColumnValue(index - 1));
}

void RecordSet::Edit() {
    BeginEdit();
    editing_ = true;
    changes_.clear();
}

void RecordSet::Update() {
    if (!editing_) return;
    editing_ = false;
    std::vector<std::pair<int, Variant>> changes;
    changes.swap(changes_);
    if (!changes.empty()) WriteChanges(changes);
}

void RecordSet::SetColumn(int index, const Variant& value) {
    if (!editing_) return;  // a field set outside Edit/Update changes nothing stored
    for (auto& change : changes_) {
        if (change.first == index) {
            change.second = value;
            return;
        }
    }
    changes_.emplace_back(index, value);
}

Variant DatabaseRecord::Column(const String& name) const {
    for (const auto& [column, value] : values_)
        if (TextEquals(column, name)) return value;
    return Variant();
}

void DatabaseRecord::set(const String& name, Variant value) {
    for (auto& [column, old] : values_) {
        if (TextEquals(column, name)) {
            old = std::move(value);
            return;
        }
    }
    values_.emplace_back(name, std::move(value));
}
