#include "framework/Encodings.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <iconv.h>
#include <mutex>
#include <optional>
#include <strings.h>
#include <vector>

namespace {

static_assert(sizeof(wchar_t) == 4, "wide text holds one code point per wchar_t");

// Wide text in iconv: "WCHAR_T" is glibc's own form, converted in one step
// (about three times as fast as through UTF-32), but as the old UCS-4 it
// takes values beyond U+10FFFF. "UTF-32" in the platform's byte order
// refuses them.
constexpr const char* WideEncoding = "WCHAR_T";
constexpr const char* StrictWideEncoding = std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE";

// Converters are kept for later conversions: opening one costs far more
// than converting a short text. A converter holds the state of the text it
// converts, so each serves one conversion at a time. The pool is shared by
// all threads and lives to the end of the process. It uses no thread-local
// storage: a library that carries this file and is loaded and unloaded again
// at run time must leave none behind.

// An encoding pair's converters that no conversion is using.
struct Idle {
    std::string from, to;
    std::vector<iconv_t> converters;  // each in its initial state
};

std::mutex& poolLock() {
    static auto* lock = new std::mutex;
    return *lock;
}

// The pair's entry, made when first asked for; the caller holds the lock.
Idle& idleFor(const char* from, const char* to) {
    static auto* pairs = new std::deque<Idle>;  // entries never move
    for (Idle& pair : *pairs)
        if (pair.from == from && pair.to == to) return pair;
    return pairs->emplace_back(Idle{from, to, {}});
}

// A converter lent to one conversion and given back, in its initial state,
// when the lease ends. Its converter is iconv_t(-1) when iconv does not know
// one of the encodings.
class Lease {
public:
    Lease(const char* from, const char* to) {
        std::lock_guard<std::mutex> hold(poolLock());
        take(idleFor(from, to));
    }
    // The lease of a pair found before, without a search.
    explicit Lease(Idle& pair) {
        std::lock_guard<std::mutex> hold(poolLock());
        take(pair);
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease() {
        if (cd_ == iconv_t(-1)) return;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // whatever the conversion left
        std::lock_guard<std::mutex> hold(poolLock());
        pair_->converters.push_back(cd_);
    }
    iconv_t converter() const { return cd_; }

private:
    void take(Idle& pair) {
        pair_ = &pair;
        if (pair.converters.empty()) {
            cd_ = iconv_open(pair.to.c_str(), pair.from.c_str());
        } else {
            cd_ = pair.converters.back();
            pair.converters.pop_back();
        }
    }
    Idle* pair_ = nullptr;
    iconv_t cd_ = iconv_t(-1);
};

// The pairs between UTF-8 and wide text, which the text functions use on
// every call.
Idle& toWide() {
    static Idle& pair = []() -> Idle& {
        std::lock_guard<std::mutex> hold(poolLock());
        return idleFor("UTF-8", WideEncoding);
    }();
    return pair;
}
Idle& fromWide() {
    static Idle& pair = []() -> Idle& {
        std::lock_guard<std::mutex> hold(poolLock());
        return idleFor(WideEncoding, "UTF-8");
    }();
    return pair;
}

bool startsWith(const char* name, const char* prefix) {
    return strncasecmp(name, prefix, std::char_traits<char>::length(prefix)) == 0;
}

// Bytes of one input unit of the encoding.
size_t unitBytes(const char* encoding) {
    if (startsWith(encoding, "UTF-32") || startsWith(encoding, "UCS-4") || startsWith(encoding, "WCHAR_T")) return 4;
    if (startsWith(encoding, "UTF-16") || startsWith(encoding, "UCS-2")) return 2;
    return 1;
}

// Converts `in` with the lease's converter (from `from` to `to`) and hands
// the result to `sink(bytes, count)` in pieces of whole characters.
template <class Sink>
bool convert(const Lease& lease, std::string_view in, const char* from, const char* to, Undecodable policy,
             Sink&& sink) {
    const iconv_t cd = lease.converter();
    if (cd == iconv_t(-1)) return false;
    char* source = const_cast<char*>(in.data());  // iconv reads through it only
    size_t sourceLeft = in.size();
    alignas(wchar_t) char buffer[8192];
    std::optional<Lease> byteLease;
    for (;;) {
        char* target = buffer;
        size_t targetLeft = sizeof buffer;
        size_t done = iconv(cd, &source, &sourceLeft, &target, &targetLeft);
        int error = errno;
        // At the end of the text, the shift state of a stateful encoding is
        // ended.
        if (done != size_t(-1)) {
            done = iconv(cd, nullptr, nullptr, &target, &targetLeft);
            error = errno;
        }
        sink(buffer, size_t(target - buffer));
        if (done != size_t(-1)) return true;
        if (error == E2BIG) continue;
        if ((error != EILSEQ && error != EINVAL) || policy == Undecodable::Fail) return false;
        if (policy == Undecodable::Windows1252) {
            // The byte as Windows-1252 text, and on after it; one converter
            // serves every such byte of the text.
            if (!byteLease) byteLease.emplace("WINDOWS-1252", to);
            const std::string_view byte(source, 1);
            if (!convert(*byteLease, byte, "WINDOWS-1252", to, Undecodable::Latin1, sink)) return false;
            ++source;
            --sourceLeft;
            continue;
        }
        // A stand-in for the unit that is no character.
        const char32_t standIn = policy == Undecodable::Replace ? 0xFFFD : static_cast<unsigned char>(*source);
        const std::string_view standInText(reinterpret_cast<const char*>(&standIn), sizeof standIn);
        if (!convert(Lease(StrictWideEncoding, to), standInText, StrictWideEncoding, to, Undecodable::Fail, sink))
            return false;
        const size_t skip = std::min(policy == Undecodable::Replace ? unitBytes(from) : 1, sourceLeft);
        source += skip;
        sourceLeft -= skip;
    }
}

}  // namespace

bool Recode(std::string_view in, const char* from, const char* to, std::string& out, Undecodable policy) {
    return convert(Lease(from, to), in, from, to, policy,
                   [&](const char* bytes, size_t count) { out.append(bytes, count); });
}

bool Utf8ToWide(std::string_view utf8, std::wstring& out, Undecodable policy) {
    return convert(Lease(toWide()), utf8, "UTF-8", WideEncoding, policy, [&](const char* bytes, size_t count) {
        out.append(reinterpret_cast<const wchar_t*>(bytes), count / sizeof(wchar_t));
    });
}

bool WideToUtf8(std::wstring_view wide, std::string& out, Undecodable policy) {
    const std::string_view bytes(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    auto sink = [&](const char* piece, size_t count) { out.append(piece, count); };
    const bool beyondUnicode =
        std::any_of(wide.begin(), wide.end(), [](wchar_t c) { return static_cast<uint32_t>(c) > 0x10FFFF; });
    if (beyondUnicode)
        return convert(Lease(StrictWideEncoding, "UTF-8"), bytes, StrictWideEncoding, "UTF-8", policy, sink);
    return convert(Lease(fromWide()), bytes, WideEncoding, "UTF-8", policy, sink);
}
