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

namespace {
// The hash of a name with its ASCII letters lower-cased (FNV-1a); `ascii`
// tells whether the name is ASCII throughout.
uint32_t foldedHash(const String& name, bool& ascii) {
    uint32_t h = 2166136261u;
    unsigned char high = 0;
    for (unsigned char c : name) {
        high |= c;
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
        h = (h ^ c) * 16777619u;
    }
    ascii = high < 0x80;
    return h;
}
}  // namespace

int DatabaseRecord::positionOf(const String& name, uint32_t hash, bool ascii) const {
    if (!ascii) {
        // Text beyond ASCII may equal a name of other bytes and length.
        for (size_t i = 0; i < values_.size(); ++i)
            if (TextEquals(values_[i].first, name)) return int(i);
        return -1;
    }
    if (!slots_.empty()) {
        const size_t mask = slots_.size() - 1;
        for (size_t s = hash & mask; slots_[s] != 0; s = (s + 1) & mask) {
            const uint32_t i = slots_[s] - 1;
            if (hashes_[i] == hash && TextEquals(values_[i].first, name)) return int(i);
        }
    }
    for (uint32_t i : others_)
        if (TextEquals(values_[i].first, name)) return int(i);
    return -1;
}

void DatabaseRecord::addToIndex(uint32_t position, uint32_t hash) {
    auto place = [](std::vector<uint32_t>& slots, uint32_t at, uint32_t h) {
        const size_t mask = slots.size() - 1;
        size_t s = h & mask;
        while (slots[s] != 0) s = (s + 1) & mask;
        slots[s] = at + 1;
    };
    const size_t indexed = values_.size() - others_.size();  // the new name included
    if (indexed * 2 > slots_.size()) {
        // Grow, and put the names indexed so far into their new slots.
        std::vector<uint32_t> grown(slots_.empty() ? 64 : slots_.size() * 2, 0);
        for (uint32_t slot : slots_)
            if (slot != 0) place(grown, slot - 1, hashes_[slot - 1]);
        slots_.swap(grown);
    }
    place(slots_, position, hash);
}

Variant DatabaseRecord::Column(const String& name) const {
    bool ascii;
    const uint32_t hash = foldedHash(name, ascii);
    const int i = positionOf(name, hash, ascii);
    return i < 0 ? Variant() : values_[size_t(i)].second;
}

void DatabaseRecord::set(const String& name, Variant value) {
    bool ascii;
    const uint32_t hash = foldedHash(name, ascii);
    const int i = positionOf(name, hash, ascii);
    if (i >= 0) {
        values_[size_t(i)].second = std::move(value);
        return;
    }
    if (values_.empty()) {
        // The rows of an import have a few dozen values.
        values_.reserve(48);
        hashes_.reserve(48);
    }
    const auto position = static_cast<uint32_t>(values_.size());
    values_.emplace_back(name, std::move(value));
    hashes_.push_back(hash);
    if (ascii) addToIndex(position, hash);
    else others_.push_back(position);
}

String SQLQuoted(const String& text, char quote) {
    String out(1, quote);
    out.reserve(text.size() + 2);
    for (char c : text) {
        out += c;
        if (c == quote) out += quote;
    }
    return out + quote;
}
