#include "services/CsvReader.h"

#include <algorithm>

#include "framework/EventLoop.h"
#include "framework/Streams.h"

CsvReader::CsvReader(TextInputStream& in) : in_(&in) {}

CsvReader::CsvReader(const String& text, const String& delimiter) : delimiter_(delimiter), record_(text) {}

bool CsvReader::readLine(String& text, int64_t& number) {
    if (!pending_.empty()) {
        text = std::move(pending_.front().first);
        number = pending_.front().second;
        pending_.pop_front();
        return true;
    }
    if (in_->Eof()) return false;
    text = in_->ReadLine();
    number = ++read_;
    if (text.find('\0') != String::npos) {
        text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
        withNul_.push_back(number);
    }
    return true;
}

bool CsvReader::next() {
    if (!in_) {
        if (given_) return false;
        given_ = true;
        line_ = 1;
        firstLine_ = record_.size();
        cut();
        return true;
    }
    do {
        String text;
        if (!readLine(text, line_)) return false;
        if (!text.empty() && !IsBlank(text[0])) record_ = std::move(text);
        else record_ = LTrim(text);
        firstLine_ = record_.size();
        joined_.clear();
        if (!cut()) {
            // Never closed: the record is its first line, and the lines
            // after it are read again, one record each.
            unclosed_.push_back(line_);
            for (auto it = joined_.rbegin(); it != joined_.rend(); ++it) pending_.push_front(std::move(*it));
            joined_.clear();
            record_.resize(firstLine_);
            joinLines_ = false;
            cut();
        }
    } while (holdsNoValue());
    return true;
}

size_t CsvReader::closingQuote(size_t open, bool& endedOpen) {
    for (size_t i = open + 1;;) {
        i = record_.find('"', i);
        if (i == String::npos) {
            if (!in_ || !joinLines_) return String::npos;
            String more;
            int64_t number;
            if (!readLine(more, number)) {
                endedOpen = true;
                return String::npos;
            }
            // The search goes on after the line break, which is no quote.
            i = record_.size() + EndOfLine.size();
            record_ += EndOfLine;
            record_ += more;
            joined_.emplace_back(std::move(more), number);
            continue;
        }
        // A quote at the end of a line is followed by its line break.
        if (i + 1 >= record_.size() || record_[i + 1] != '"') return i;
        i += 2;
    }
}

bool CsvReader::cutPlain() {
    // A record read from a file is trimmed; the blanks at its end are all in
    // its last field.
    if (in_) {
        size_t end = record_.size();
        while (end > 0 && IsBlank(record_[end - 1])) --end;
        record_.resize(end);
    }
    // The fields' strings are kept from record to record, with their room.
    size_t count = 0;
    for (size_t at = 0;;) {
        size_t end = delimiter_.size() == 1 ? record_.find(delimiter_[0], at) : record_.find(delimiter_, at);
        const bool last = end == String::npos;
        if (last) end = record_.size();
        if (count == fields_.size()) fields_.emplace_back();
        fields_[count++].assign(record_, at, end - at);
        if (last) break;
        at = end + delimiter_.size();
    }
    fields_.resize(count);
    // The text is the record itself, without its line breaks: made when it
    // is asked for, which most readers never do.
    plainText_ = true;
    return true;
}

const String& CsvReader::text() const {
    if (plainText_) {
        plainText_ = false;
        clean_.assign(record_);
        clean_.erase(std::remove_if(clean_.begin(), clean_.end(), [](char c) { return c == '\r' || c == '\n'; }),
                     clean_.end());
    }
    return clean_;
}

bool CsvReader::cut() {
    // Without a double quote, nothing is quoted and nothing is dropped: the
    // record is cut at its delimiters as it stands.
    if (!delimiter_.empty() && record_.find('"') == String::npos) return cutPlain();
    plainText_ = false;
    fields_.clear();
    clean_.clear();
    for (size_t at = 0;;) {
        String value;
        bool quoted = false;
        size_t i = at;
        if (i < record_.size() && record_[i] == '"') {
            bool endedOpen = false;
            const size_t close = closingQuote(i, endedOpen);
            if (endedOpen) return false;
            if (close != String::npos) {
                quoted = true;
                for (size_t k = i + 1; k < close; ++k) {
                    value += record_[k];
                    if (record_[k] == '"') ++k;  // the second quote of a pair
                }
                i = close + 1;
            }
        }
        size_t end = delimiter_.empty() ? String::npos : record_.find(delimiter_, i);
        const bool last = end == String::npos;
        if (last) {
            // A record read from a file is trimmed; the blanks at its end
            // are all in its last field, after any closing quote.
            if (in_) record_ = RTrim(record_);
            end = std::max(record_.size(), i);
        }
        for (size_t k = i; k < end; ++k)
            if (record_[k] != '"') value += record_[k];
        fields_.push_back(std::move(value));

        // The text keeps the field as it stands, without line breaks
        // outside quoted fields.
        if (at) clean_ += delimiter_;
        for (size_t k = at; k < end; ++k) {
            const char c = record_[k];
            if (quoted || (c != '\r' && c != '\n')) clean_ += c;
        }
        if (last) return true;
        at = end + delimiter_.size();
    }
}

bool CsvReader::holdsNoValue() const {
    for (const String& value : fields_)
        if (!Trim(value).empty()) return false;
    return true;
}

int64_t CsvReader::storeInto(CsvGrid& grid, int64_t row) const {
    // The fields inside the grid are stored at once; the yields come as
    // they would between the fields.
    try {
        grid.SetRow(row, fields_);
    } catch (...) {
        // The cells written before stay.
    }
    int64_t k = 0;
    try {
        for (k = 1; k < int64_t(fields_.size()); ++k) YieldToEventLoop();
        k = int64_t(fields_.size());
    } catch (...) {
        // Any other failure ends this record.
    }
    return k;
}
