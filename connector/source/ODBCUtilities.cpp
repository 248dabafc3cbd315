#include "connector/source/ODBCUtilities.h"

#include <iconv.h>
#include <sys/time.h>

#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "connector/source/ODBCDatabase.h"

namespace corvane {
namespace {

// The three converters, opened when the library is loaded and never closed.
struct Converters {
    iconv_t utf8ToUtf32 = iconv_open("UTF-32LE", "UTF-8");
    iconv_t latin1ToUtf32 = iconv_open("UTF-32LE", "ISO-8859-1");
    iconv_t utf32ToUtf8 = iconv_open("UTF-8", "UTF-32LE");
};
const Converters g_converters;

bool usable(iconv_t cd) { return cd != iconv_t(-1); }

// Converts while input and room remain; returns the bytes written and the
// errno of a conversion error (0 when none).
size_t convert(iconv_t cd, const void* source, size_t sourceBytes, char* destination, size_t room, int* incomplete,
               int* error) {
    *error = 0;
    char* in = const_cast<char*>(static_cast<const char*>(source));
    size_t inLeft = sourceBytes;
    char* out = destination;
    size_t outLeft = room;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // a fresh start for every text
    while (inLeft > 0 && outLeft > 0) {
        if (iconv(cd, &in, &inLeft, &out, &outLeft) == size_t(-1)) {
            *error = errno;
            break;
        }
    }
    if (incomplete) *incomplete = inLeft > 0 ? 1 : 0;
    return size_t(out - destination);
}

}  // namespace

size_t Utf32ToUtf8(const void* source, size_t sourceBytes, char* destination, size_t capacity, int* incomplete) {
    if (!destination || capacity == 0) return 0;
    if (!usable(g_converters.utf32ToUtf8) || !source) {
        destination[0] = 0;
        if (incomplete) *incomplete = sourceBytes > 0 ? 1 : 0;
        return 0;
    }
    // Characters of plain ASCII are copied without the converter, which
    // takes over at the first other one; its output is the same.
    const auto* in = static_cast<const unsigned char*>(source);
    const size_t room = capacity - 1;
    const size_t units = sourceBytes / 4;
    size_t written = 0;
    while (written < units && written < room && in[0] < 0x80 && in[1] == 0 && in[2] == 0 && in[3] == 0) {
        destination[written++] = char(in[0]);
        in += 4;
    }
    if (4 * written < sourceBytes) {
        int error;
        written += convert(g_converters.utf32ToUtf8, in, sourceBytes - 4 * written, destination + written,
                           room - written, incomplete, &error);
    } else if (incomplete) {
        *incomplete = 0;
    }
    destination[written] = 0;
    return written;
}

size_t ToUtf32(HostEncodingCode code, const void* source, size_t sourceBytes, void* destination, size_t capacity,
               int* incomplete) {
    if (!destination || capacity < 4) return 0;
    iconv_t cd = code == HOST_ENCODING_WINDOWS_LATIN1 ? g_converters.latin1ToUtf32 : g_converters.utf8ToUtf32;
    char* out = static_cast<char*>(destination);
    size_t written = 0;
    if (usable(cd) && source) {
        // Plain ASCII is the same character in UTF-8, Latin-1 and UTF-32: it
        // is copied without the converter, which takes over at the first
        // other byte.
        const auto* in = static_cast<const unsigned char*>(source);
        const size_t room = (capacity - 4) / 4;
        size_t n = 0;
        for (; n < sourceBytes && n < room && in[n] < 0x80; ++n) {
            out[4 * n] = char(in[n]);
            out[4 * n + 1] = out[4 * n + 2] = out[4 * n + 3] = 0;
        }
        written = 4 * n;
        if (n < sourceBytes) {
            int error;
            written += convert(cd, in + n, sourceBytes - n, out + written, capacity - 4 - written, incomplete, &error);
            if (error && error != E2BIG) std::fprintf(stderr, "iconv error: %s\n", std::strerror(error));
        } else if (incomplete) {
            *incomplete = 0;
        }
    } else if (incomplete) {
        *incomplete = sourceBytes > 0 ? 1 : 0;
    }
    written -= written % 4;
    std::memset(out + written, 0, 4);
    return written / 4;
}

int CompareNoCase(const char* a, const char* b) {
    const size_t la = std::strlen(a), lb = std::strlen(b);
    const size_t n = la < lb ? la : lb;
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (la == lb) return 0;
    return la < lb ? -1 : 1;
}

void WideText::assign(HostEncodingCode code, const char* bytes, size_t size) {
    if (buffer.size() < size + 1) buffer.resize(size + 1);  // 4 x bytes + 4 bytes
    const size_t chars = ToUtf32(code, bytes, size, buffer.data(), (size + 1) * 4, nullptr);
    buffer[chars] = 0;
    length = SQLINTEGER(chars);
}

WideText MakeWide(HostEncodingCode code, const char* bytes, size_t size) {
    WideText wide;
    wide.assign(code, bytes, size);
    return wide;
}

std::string WideToUtf8(const SQLWCHAR* text, size_t chars) {
    size_t n = 0;
    while (n < chars && text[n]) ++n;
    std::string out(4 * n + 5, '\0');
    const size_t written = Utf32ToUtf8(text, 4 * n, out.data(), 4 * n + 4, nullptr);
    out.resize(written);
    return out;
}

void Trace(const ODBCConnection* connection, const char* format, ...) {
    if (!connection || !connection->traceOn) return;
    FILE* stream = connection->traceStream ? connection->traceStream : stdout;
    va_list args;
    va_start(args, format);
    std::vfprintf(stream, format, args);
    va_end(args);
    std::fputc('\n', stream);
    std::fflush(stream);
}

FILE* OpenTraceLog(const char* path) {
    FILE* stream = std::fopen(path, "a");
    if (!stream) return nullptr;
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    const time_t seconds = now.tv_sec;
    localtime_r(&seconds, &local);
    std::fprintf(stream, "%d-%d-%d %d:%d:%d.%ld\n", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                 local.tm_hour, local.tm_min, local.tm_sec, long(now.tv_usec));
    std::fflush(stream);
    return stream;
}

}  // namespace corvane
