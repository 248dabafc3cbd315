#include "framework/Streams.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>

#include "framework/Encodings.h"

namespace {

bool startsWith(const String& bytes, const String& mark) { return bytes.compare(0, mark.size(), mark) == 0; }

}  // namespace

String TextInputStream::tooLarge() {
    return "The file is larger than the 4 GB (4,294,967,295 bytes) that the converter can read.";
}

TextInputStream::TextInputStream(std::FILE* file) {
    if (!file) return;
    try {
        decode(file);
    } catch (const std::bad_alloc&) {
        // What is held so far goes; the message takes little.
        String().swap(text_);
        pos_ = 0;
        error_ = "There is not enough memory to read the file.";
    }
}

void TextInputStream::decode(std::FILE* file) {
    String bytes;
    {
        // Closed also when the memory runs out.
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> closing(file, std::fclose);
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, file)) > 0) {
            // A file that grows while it is read stops at the bound too.
            if (int64_t(bytes.size() + n) > MaxBytes) {
                error_ = tooLarge();
                return;
            }
            bytes.append(buf, n);
        }
        if (std::ferror(file)) error_ = "The file could not be read to its end.";
    }
    if (!error_.empty()) return;

    if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF")) {
        const bool little = bytes[0] == '\xFF';
        if (!Recode(std::string_view(bytes).substr(2), little ? "UTF-16LE" : "UTF-16BE", "UTF-8", text_)) {
            text_.clear();
            error_ = String("The file is marked as UTF-16 (") + (little ? "little" : "big") +
                     " endian) but its text is not valid UTF-16.";
        }
        return;
    }
    if (startsWith(bytes, "\xEF\xBB\xBF")) bytes.erase(0, 3);
    if (IsValidUTF8(bytes)) {
        text_ = std::move(bytes);
        return;
    }
    // Sequence by sequence: a stray Windows-1252 byte, or a last character
    // that the file ends inside, costs no other character its UTF-8. A byte
    // that starts no UTF-8 sequence is Windows-1252, and one that it leaves
    // undefined stands for the code point of its own value, as Windows reads
    // the five such bytes; so a file without any UTF-8 sequence reads as
    // Windows-1252 throughout.
    if (!Recode(bytes, "UTF-8", "UTF-8", text_, Undecodable::Windows1252)) {
        text_.clear();
        error_ = "The file's text could not be converted from Windows-1252.";
    }
}

String TextInputStream::ReadLine() {
    // The line ends at the first line feed or carriage return: one search
    // for each (find_first_of tests every character against its set through
    // a call, which reading a large file feels).
    const char* const text = text_.data();
    const size_t size = text_.size();
    const void* feed = std::memchr(text + pos_, '\n', size - pos_);
    const size_t limit = feed ? size_t(static_cast<const char*>(feed) - text) : size;
    const void* ret = std::memchr(text + pos_, '\r', limit - pos_);
    const size_t end = ret ? size_t(static_cast<const char*>(ret) - text) : limit;
    if (end == size) {
        String line = text_.substr(pos_);
        pos_ = text_.size();
        return line;
    }
    String line = text_.substr(pos_, end - pos_);
    pos_ = end + (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n' ? 2 : 1);
    return line;
}

String TextInputStream::ReadAll() {
    String rest = text_.substr(pos_);
    pos_ = text_.size();
    return rest;
}

bool TextInputStream::Eof() { return pos_ >= text_.size(); }

void TextInputStream::Close() {
    String().swap(text_);
    pos_ = 0;
}

TextOutputStream::TextOutputStream(std::FILE* file) : file_(file) {}

TextOutputStream::~TextOutputStream() {
    try {
        Close();
    } catch (const IOException&) {
    }
}

void TextOutputStream::Write(const String& text) {
    if (!file_) throw IOException("The stream is closed");
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) throw IOException("Cannot write to the file");
}

void TextOutputStream::WriteLine(const String& text) {
    Write(text);
    Write(EndOfLine);
}

void TextOutputStream::Close() {
    if (!file_) return;
    std::FILE* file = file_;
    file_ = nullptr;
    // A write that failed earlier has lost data even when what is left flushes.
    int error = std::ferror(file) ? EIO : 0;
    if (error == 0 && std::fflush(file) != 0) error = errno;
    // Devices and pipes cannot be synced (EINVAL, EROFS): their data is out.
    if (error == 0 && ::fsync(fileno(file)) != 0 && errno != EINVAL && errno != EROFS) error = errno;
    if (std::fclose(file) != 0 && error == 0) error = errno;
    if (error != 0) throw IOException("Cannot write to the file", error);
}
