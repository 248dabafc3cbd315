#pragma once
// Text streams on files, as the framework's TextInputStream and
// TextOutputStream. Text is written as UTF-8 bytes unchanged, and read as
// UTF-8 whatever encoding the file is in (see TextInputStream).

#include <cstdint>
#include <cstdio>

#include "framework/Ref.h"
#include "framework/Text.h"

// Reads a text file whole when it is opened and hands out its text as UTF-8,
// decided once for the whole file: a byte-order mark names the encoding
// (UTF-8, UTF-16 little or big endian) and is not part of the text; a file
// without one is read sequence by sequence: every valid UTF-8 sequence as
// UTF-8, and every byte that starts none as Windows-1252, as spreadsheets
// write their plain text (so a file without a UTF-8 sequence is
// Windows-1252 throughout).
class TextInputStream {
public:
    // The most bytes of a file that is read: 4 GiB less one, so that a
    // 32-bit offset reaches anywhere within its text (the CSV cell grid keeps
    // its cells at such offsets). A larger file is not read at all.
    static constexpr int64_t MaxBytes = 0xFFFFFFFF;

    // Reads and closes the file. A file beyond MaxBytes, or one whose text
    // does not fit into memory, is not read: ErrorMessage tells why.
    explicit TextInputStream(std::FILE* file);
    // A stream with nothing to read, for a file that cannot be read at all:
    // ErrorMessage is `why`.
    struct Refusal {
        String why;
    };
    explicit TextInputStream(Refusal refusal) : error_(std::move(refusal.why)) {}
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
    // "" when the file was read and decoded; otherwise why its text cannot be
    // read (then nothing is left to read).
    String ErrorMessage() const { return error_; }

    // The reason for a file beyond MaxBytes.
    static String tooLarge();

private:
    void decode(std::FILE* file);  // reads the file into text_, or sets error_

    String text_;     // the whole text, UTF-8
    size_t pos_ = 0;  // where the next read starts
    String error_;
};

class TextOutputStream {
public:
    explicit TextOutputStream(std::FILE* file);  // takes ownership of the file
    ~TextOutputStream();  // closes the file; a failure then goes unreported
    TextOutputStream(const TextOutputStream&) = delete;
    TextOutputStream& operator=(const TextOutputStream&) = delete;

    // Raises IOException when the text cannot be written (a full disk).
    void Write(const String& text);
    // The text followed by EndOfLine.
    void WriteLine(const String& text);
    // Writes out what is still buffered, waits until the file is on the
    // disk and closes it. Raises IOException when any of this fails: only a
    // Close without failure means that the file holds everything written.
    // Closing a closed stream does nothing.
    void Close();

private:
    std::FILE* file_;
};
