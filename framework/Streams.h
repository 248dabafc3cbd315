#pragma once
// Text streams on files, as the framework's TextInputStream and
// TextOutputStream. Text is read and written as UTF-8 bytes unchanged.

#include <cstdio>

#include "framework/Ref.h"
#include "framework/Text.h"

class TextInputStream {
public:
    explicit TextInputStream(std::FILE* file);  // takes ownership of the file
    ~TextInputStream();
    TextInputStream(const TextInputStream&) = delete;
    TextInputStream& operator=(const TextInputStream&) = delete;

    // One line without its line ending (a line feed, a carriage return, or both
    // in that order); "" at the end of the file.
    String ReadLine();
    // The rest of the file.
    String ReadAll();
    // True when nothing is left to read.
    bool Eof();
    void Close();

private:
    std::FILE* file_;
};

class TextOutputStream {
public:
    explicit TextOutputStream(std::FILE* file);  // takes ownership of the file
    ~TextOutputStream();
    TextOutputStream(const TextOutputStream&) = delete;
    TextOutputStream& operator=(const TextOutputStream&) = delete;

    void Write(const String& text);
    // The text followed by EndOfLine.
    void WriteLine(const String& text);
    void Close();

private:
    std::FILE* file_;
};
