#include "framework/Streams.h"

TextInputStream::TextInputStream(std::FILE* file) : file_(file) {}

TextInputStream::~TextInputStream() { Close(); }

String TextInputStream::ReadLine() {
    String line;
    if (!file_) return line;
    int c;
    // The stream belongs to this object alone: no locking per character.
    while ((c = getc_unlocked(file_)) != EOF) {
        if (c == '\n') break;
        if (c == '\r') {
            const int next = getc_unlocked(file_);
            if (next != '\n' && next != EOF) std::ungetc(next, file_);
            break;
        }
        line += static_cast<char>(c);
    }
    return line;
}

String TextInputStream::ReadAll() {
    String all;
    if (!file_) return all;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) all.append(buf, n);
    return all;
}

bool TextInputStream::Eof() {
    if (!file_) return true;
    const int c = std::getc(file_);
    if (c == EOF) return true;
    std::ungetc(c, file_);
    return false;
}

void TextInputStream::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

TextOutputStream::TextOutputStream(std::FILE* file) : file_(file) {}

TextOutputStream::~TextOutputStream() { Close(); }

void TextOutputStream::Write(const String& text) {
    if (!file_) throw IOException("The stream is closed");
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) throw IOException("Cannot write to the file");
}

void TextOutputStream::WriteLine(const String& text) {
    Write(text);
    Write(EndOfLine);
}

void TextOutputStream::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
}
