#include "framework/Database.h"

DatabaseField::DatabaseField(std::shared_ptr<RecordSet> owner, int index, String name, Variant value)
    : owner_(std::move(owner)), index_(index), name_(std::move(name)), value_(std::move(value)) {}

void DatabaseField::SetValue(const Variant& value) {
    value_ = value;
    if (owner_) owner_->SetColumn(index_, value);
}

namespace {
bool asciiText(const String& s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}
}  // namespace

int RecordSet::ColumnIndex(const String& name) {
    if (!namesRead_) {
        const int count = FieldCount();
        for (int i = 0; i < count; ++i) {
            String column = ColumnName(i);
            const bool ascii = asciiText(column);
            names_.push_back({std::move(column), ascii});
        }
        namesRead_ = true;
    }
    const bool ascii = asciiText(name);
    for (size_t i = 0; i < names_.size(); ++i) {
        // Two ASCII texts of different lengths never match; others are compared.
        if (ascii && names_[i].ascii && names_[i].name.size() != name.size()) continue;
        if (TextEquals(names_[i].name, name)) return int(i);
    }
    return -1;
}

Ref<DatabaseField> RecordSet::Field(const String& name) {
    const int i = ColumnIndex(name);
    if (i < 0) return nullptr;
    return New<DatabaseField>(shared_from_this(), i, names_[size_t(i)].name, ColumnValue(i));
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
