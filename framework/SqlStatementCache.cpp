#include "framework/SqlStatementCache.h"

#include <sqlite3.h>

namespace {

bool isLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool isBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
// A byte of a word (a keyword, a name or a number), as SQLite reads them.
bool isWordByte(unsigned char c) { return isLetter(c) || isDigit(c) || c == '_' || c == '$' || c >= 0x80; }

bool wordIs(std::string_view word, const char* keyword) {
    size_t i = 0;
    for (; i < word.size() && keyword[i]; ++i) {
        unsigned char c = static_cast<unsigned char>(word[i]);
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
        if (c != static_cast<unsigned char>(keyword[i])) return false;
    }
    return i == word.size() && !keyword[i];
}

bool isPlainKeyword(std::string_view word) {
    return wordIs(word, "select") || wordIs(word, "insert") || wordIs(word, "update") || wordIs(word, "delete");
}

}  // namespace

bool ShapeOf(const String& sql, StatementShape& shape) {
    shape.text.clear();
    shape.values.clear();
    shape.text.reserve(sql.size());
    const size_t n = sql.size();
    bool first = true;  // before the statement's first word
    for (size_t i = 0; i < n;) {
        const unsigned char c = static_cast<unsigned char>(sql[i]);
        if (isWordByte(c) && c != '$') {
            size_t end = i + 1;
            while (end < n && isWordByte(static_cast<unsigned char>(sql[end]))) ++end;
            const std::string_view word(sql.data() + i, end - i);
            if (first ? !isPlainKeyword(word) : wordIs(word, "group") || wordIs(word, "having")) return false;
            first = false;
            shape.text.append(word);
            i = end;
            continue;
        }
        if (first && !isBlank(c)) return false;
        switch (c) {
            case '\'': {
                // A quote right after a word is a blob literal (X'00') or
                // something else that is no plain text value.
                if (i > 0 && isWordByte(static_cast<unsigned char>(sql[i - 1]))) return false;
                String value;
                size_t j = i + 1;
                for (;; ++j) {
                    // No closing quote: SQLite reports it. SQLite reads the
                    // text up to a NUL only.
                    if (j >= n || sql[j] == '\0') return false;
                    if (sql[j] != '\'') {
                        value += sql[j];
                    } else if (j + 1 < n && sql[j + 1] == '\'') {
                        value += '\'';
                        ++j;
                    } else {
                        break;
                    }
                }
                if (j + 1 < n && isWordByte(static_cast<unsigned char>(sql[j + 1]))) return false;
                shape.text += '?';
                shape.values.push_back(std::move(value));
                i = j + 1;
                continue;
            }
            case '"':
            case '`':
            case '[':
            case ';':
            case '?':
            case ':':
            case '@':
            case '#':
            case '$':
            case '\0': return false;
            case '-':
                if (i + 1 < n && sql[i + 1] == '-') return false;
                break;
            case '/':
                if (i + 1 < n && sql[i + 1] == '*') return false;
                break;
            default: break;
        }
        shape.text += static_cast<char>(c);
        ++i;
    }
    return !first;
}

bool IsPlainStatement(const char* sql) {
    while (isBlank(static_cast<unsigned char>(*sql))) ++sql;
    const char* end = sql;
    while (isLetter(static_cast<unsigned char>(*end))) ++end;
    return isPlainKeyword(std::string_view(sql, size_t(end - sql))) && !isWordByte(static_cast<unsigned char>(*end));
}

StatementCache::Entry* StatementCache::Find(const String& text) {
    auto it = byText_.find(std::string_view(text));
    if (it == byText_.end()) return nullptr;
    entries_.splice(entries_.begin(), entries_, it->second);
    return &entries_.front();
}

StatementCache::Entry* StatementCache::Add(const String& text, sqlite3_stmt* stmt) {
    entries_.push_front({text, stmt});
    byText_.emplace(std::string_view(entries_.front().text), entries_.begin());
    if (entries_.size() > Capacity) {
        sqlite3_finalize(entries_.back().stmt);
        byText_.erase(std::string_view(entries_.back().text));
        entries_.pop_back();
    }
    return &entries_.front();
}

void StatementCache::Clear() {
    for (Entry& entry : entries_) sqlite3_finalize(entry.stmt);
    byText_.clear();
    entries_.clear();
}
