#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <locale.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "framework/Database.h"
#include "framework/Date.h"
#include "framework/FolderItem.h"
#include "framework/Streams.h"
#include "framework/Variant.h"
#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

namespace {

bool localeExists(const std::string& name) {
    locale_t loc = newlocale(LC_TIME_MASK, name.c_str(), locale_t(0));
    if (loc) freelocale(loc);
    return loc != locale_t(0);
}

String parsed(const String& text) {
    Ref<Date> d;
    if (!ParseDate(text, d)) return "fails";
    return d->SQLDateTime();
}

}  // namespace

TEST(Variant, ConvertsToTextIntegerBooleanAndDate) {
    struct Case {
        Variant v;
        String text;
        int64_t integer;
        bool boolean;
    } cases[] = {
        {Variant(), "", 0, false},
        {Variant(true), "True", 1, true},
        {Variant(false), "False", 0, false},
        {Variant(int64_t(-1)), "-1", -1, true},
        {Variant(2.9), "2.9", 2, true},
        {Variant(-2.9), "-2.9", -2, true},
        {Variant("12abc"), "12abc", 12, false},
        {Variant(" -3"), " -3", -3, false},
        {Variant("true"), "true", 0, true},
        {Variant("yes"), "yes", 0, false},
        {Variant(""), "", 0, false},
        {Variant(New<Date>(2020, 3, 4)), "2020-03-04 00:00:00", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        EXPECT_EQ(c.v.StringValue(), c.text);
        EXPECT_EQ(c.v.IntegerValue(), c.integer);
        EXPECT_EQ(c.v.BooleanValue(), c.boolean);
    }
    // Numbers beyond the 64-bit range give its nearest end, as SQLite's CAST.
    const struct {
        Variant v;
        int64_t integer;
    } huge[] = {{Variant(1e20), INT64_MAX},  {Variant(-1e20), INT64_MIN}, {Variant("1e20"), INT64_MAX},
                {Variant(9.3e18), INT64_MAX}, {Variant(-9.3e18), INT64_MIN}, {Variant(9.2e18), int64_t(9.2e18)}};
    for (const auto& h : huge) EXPECT_EQ(h.v.IntegerValue(), h.integer) << h.v.DoubleValue();
    EXPECT_EQ(Variant("2020-03-04").DateValue()->SQLDateTime(), "2020-03-04 00:00:00");
    EXPECT_EQ(Variant("2020-03-04 10:30:00").DateValue()->Hour, 10);
    EXPECT_EQ(Variant("2020-03-04T9:05").DateValue()->SQLDateTime(), "2020-03-04 09:05:00");
    // Text that is not SQL date text digit for digit stays text: read as a
    // date it would come out changed.
    for (const char* notDate : {"", "2020-3-4", "2020-13-01", "4/3/2020", "10:00 feed", "+021-01-02", "2021-\t1-02",
                                "2021- 1-02", "2021-01-+2", "2021-01-02 1:5", "2021-01-02 +1:05", "2021-01-02  10:00"})
        EXPECT_EQ(Variant(notDate).DateValue(), nullptr) << notDate;
    EXPECT_EQ(Variant(int64_t(5)).DateValue(), nullptr);
}

// A name set again (case ignored, also beyond ASCII) replaces the value in
// the first name's place; other names are appended in order.
TEST(DatabaseRecord, ANameSetAgainReplacesItsValueInPlace) {
    using Values = std::vector<std::pair<String, String>>;
    Values many, manyAfter;
    for (int n = 1; n <= 40; ++n) many.emplace_back("customfield" + Str(int64_t(n)), Str(int64_t(n)));
    manyAfter = many;
    many.emplace_back("CustomField7", "seven");
    many.emplace_back("customfield41", "41");
    many.emplace_back("CUSTOMFIELD40", "forty");
    manyAfter[6].second = "seven";
    manyAfter.emplace_back("customfield41", "41");
    manyAfter[39].second = "forty";
    const struct Case {
        const char* what;
        Values set, expected;
    } cases[] = {
        {"case differs", {{"name", "a"}, {"colour", "b"}, {"NAME", "c"}}, {{"name", "c"}, {"colour", "b"}}},
        {"no two alike", {{"ab", "1"}, {"ba", "2"}, {"a", "3"}, {"abc", "4"}},
         {{"ab", "1"}, {"ba", "2"}, {"a", "3"}, {"abc", "4"}}},
        {"letters beyond ASCII", {{"\xc3\x84rger", "1"}, {"x", "2"}, {"\xc3\xa4RGER", "3"}},
         {{"\xc3\x84rger", "3"}, {"x", "2"}}},
        {"the Kelvin sign after k", {{"key", "1"}, {"\xe2\x84\xaa" "EY", "2"}}, {{"key", "2"}}},
        {"k after the Kelvin sign", {{"\xe2\x84\xaa" "ey", "1"}, {"kind", "2"}, {"KEY", "3"}},
         {{"\xe2\x84\xaa" "ey", "3"}, {"kind", "2"}}},
        {"more names than the first index holds", many, manyAfter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DatabaseRecord record;
        for (const auto& [name, value] : c.set) record.Column(name, value);
        Values got;
        for (const auto& [name, value] : record.Values()) got.emplace_back(name, value.StringValue());
        EXPECT_EQ(got, c.expected);
        for (const auto& [name, value] : c.expected) {
            EXPECT_EQ(record.Column(Uppercase(name)).StringValue(), value) << name;
        }
        EXPECT_TRUE(record.Column("nosuchname").IsNil());
    }
}

TEST(Date, SqlDateIsYearMonthDayWithFixedDigits) {
    EXPECT_EQ(Date(987, 1, 2).SQLDate(), "0987-01-02");
    EXPECT_EQ(Date(2020, 12, 31, 23, 5, 9).SQLDateTime(), "2020-12-31 23:05:09");
    EXPECT_EQ(Date(2020, 12, 31).ToText().rfind(Date(2020, 12, 31).SQLDate(), 0), 0u);
}

TEST(ParseDate, FollowsTheLocaleOrderOfDayMonthAndYear) {
    struct Case {
        const char* locale;
        const char* text;
        const char* want;
    } cases[] = {
        {"C.UTF-8", "03/04/2020", "2020-03-04 00:00:00"},
        {"en_US.UTF-8", "03/04/2020", "2020-03-04 00:00:00"},
        {"en_US.UTF-8", "12-25-99", "1999-12-25 00:00:00"},
        {"en_US.UTF-8", "25/12/2020", "fails"},
        {"en_GB.UTF-8", "03/04/2020", "2020-04-03 00:00:00"},
        {"en_GB.UTF-8", "25/12/20", "2020-12-25 00:00:00"},
        {"en_GB.UTF-8", "29/02/2020", "2020-02-29 00:00:00"},
        {"en_GB.UTF-8", "29/02/2021", "fails"},
        {"de_DE.UTF-8", "04.03.2020", "2020-03-04 00:00:00"},
        {"de_DE.UTF-8", "4 3 2020", "2020-03-04 00:00:00"},
        {"de_DE.UTF-8", "4. 3. 2020", "2020-03-04 00:00:00"},
        // SQL date text in every locale
        {"C.UTF-8", "2020-01-05", "2020-01-05 00:00:00"},
        {"en_GB.UTF-8", "2020-01-05", "2020-01-05 00:00:00"},
        {"de_DE.UTF-8", "2020-1-5", "2020-01-05 00:00:00"},
    };
    EnvGuard env;
    env.unset("LANG");
    env.unset("LC_TIME");
    int ran = 0;
    for (const auto& c : cases) {
        if (!localeExists(c.locale)) {
            std::cerr << "locale " << c.locale << " is not installed; case \"" << c.text << "\" skipped\n";
            continue;
        }
        env.set("LC_ALL", c.locale);
        EXPECT_EQ(parsed(c.text), c.want) << c.text << " in " << c.locale;
        ++ran;
    }
    // An order given explicitly wins over the locale's, except for SQL date text.
    const struct {
        DateOrder order;
        const char* text;
        const char* want;
    } ordered[] = {
        {DateOrder::DayMonthYear, "05/01/2021", "2021-01-05 00:00:00"},
        {DateOrder::MonthDayYear, "05/01/2021", "2021-05-01 00:00:00"},
        {DateOrder::YearMonthDay, "20/01/05", "2020-01-05 00:00:00"},
        {DateOrder::DayMonthYear, "2021-02-03", "2021-02-03 00:00:00"},
    };
    for (const auto& c : ordered) {
        Ref<Date> d;
        EXPECT_EQ(ParseDate(c.text, d, c.order) ? d->SQLDateTime() : "fails", c.want) << c.text;
    }
    if (!localeExists("en_GB.UTF-8") && !localeExists("de_DE.UTF-8"))
        GTEST_SKIP() << "no day-first locale installed (scripts/setup makes en_GB.UTF-8 and de_DE.UTF-8)";
    EXPECT_GT(ran, 0);
}

TEST(ParseDate, AcceptsSqlDatesAndTimesAndReportsFailure) {
    EnvGuard env;
    env.set("LC_ALL", "C.UTF-8");
    struct Case {
        const char* text;
        const char* want;
    } cases[] = {
        {"2020-03-04", "2020-03-04 00:00:00"},
        {" 2020/3/4 ", "2020-03-04 00:00:00"},
        {"2020-03-04 00:00:00", "2020-03-04 00:00:00"},
        {"3/4/2020 10:30", "2020-03-04 10:30:00"},
        {"3/4/2020 1:05:07 PM", "2020-03-04 13:05:07"},
        {"3/4/2020 12:00 am", "2020-03-04 00:00:00"},
        {"", "fails"},
        {"unknown", "fails"},
        {"3/4", "fails"},
        {"1/2/3/4", "fails"},
        {"13/13/2020", "fails"},
        {"2020-02-30", "fails"},
        {"3/4/20201", "fails"},
        {"12:00", "fails"},
        {"3/4/2020 25:00", "fails"},
        {"3/4/2020 13:00 PM", "fails"},
        {"Mar 4 2020", "fails"},
        // Only "/", "-", "." and a blank separate the numbers; only blanks
        // may follow one of the others.
        {"3,4,2020", "fails"},
        {"3/4,2020", "fails"},
        {"3  4 2020", "fails"},
        {"3/ 4/ 2020", "2020-03-04 00:00:00"},
        // The time has one or two digits of hours, two of minutes and seconds.
        {"3/4/2020 1:+5", "fails"},
        {"3/4/2020 +1:05", "fails"},
        {"3/4/2020 12:3", "fails"},
        {"3/4/2020 12:30:5", "fails"},
        {"3/4/2020 12: 30", "fails"},
        {"3/4/2020 12:305", "fails"},
        {"3/4/2020 9:05:59pm", "2020-03-04 21:05:59"},
        // Signs and missing numbers make no date.
        {"-1/-1/-1", "fails"},
        {"1/-2/2020", "fails"},
        {"1//2/2020", "fails"},
        {"/1/2/2020", "fails"},
        {"1/2/2020/", "fails"},
        {"99/99/9999", "fails"},
    };
    for (const auto& c : cases) EXPECT_EQ(parsed(c.text), c.want) << "\"" << c.text << "\"";

    Ref<Date> kept = New<Date>(1999, 1, 1);
    const Date* before = kept.get();
    EXPECT_FALSE(ParseDate("31/31/31", kept));
    EXPECT_EQ(kept.get(), before) << "a failed parse leaves the result alone";
}

// A text that IsSqlDate keeps as it stands must be what ParseDate and
// SQLDate make of it in every order, and every other ten-character text
// must read differently or not at all: held against the parser on every
// day of four centuries and on texts of digits and dashes around them.
TEST(IsSqlDate, KeepsExactlyTheTextsThatParseBackToThemselves) {
    const DateOrder orders[] = {DateOrder::DayMonthYear, DateOrder::MonthDayYear, DateOrder::YearMonthDay};
    auto parsesToItself = [&](const std::string& text) {
        for (DateOrder order : orders) {
            Ref<Date> d;
            if (!ParseDate(text, d, order) || d->SQLDate() != text) return false;
        }
        return true;
    };
    std::vector<std::string> texts = {"2020-02-29", "2021-02-29", "1900-02-29", "2000-02-29", "0000-01-01",
                                      "0001-01-01", "9999-12-31", "2020-00-10", "2020-13-01", "2020-04-31",
                                      "2020-4-031", "2020/04/03", " 2020-04-3", "2020-04-03 ", "2020-04-0a",
                                      "+020-04-03", "2020--4-03", "20200-4-03", "", "2020-04-03T"};
    for (int year : {1, 1899, 1900, 1925, 1999, 2000, 2023, 2100, 2400, 9999})
        for (int month = 0; month <= 13; ++month)
            for (int day = 0; day <= 32; ++day) {
                char text[16];
                std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
                texts.push_back(text);
            }
    int kept = 0;
    for (const std::string& text : texts) {
        EXPECT_EQ(IsSqlDate(text), parsesToItself(text)) << "\"" << text << "\"";
        kept += IsSqlDate(text);
    }
    EXPECT_GT(kept, 3000) << "the valid days are kept";
}

TEST(FolderItem, PathsParentsAndChildren) {
    TempDir dir;
    const std::string sub = dir.file("herds");
    std::filesystem::create_directory(sub);
    Ref<FolderItem> folder = GetFolderItem(sub);
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->Exists());
    EXPECT_EQ(folder->AbsolutePath(), sub + "/");
    EXPECT_EQ(GetFolderItem(folder->AbsolutePath())->AbsolutePath(), sub + "/") << "paths are accepted back";

    Ref<FolderItem> file = folder->Child("herd.rsd");
    EXPECT_FALSE(file->Exists()) << "an item also for a missing file";
    EXPECT_EQ(file->AbsolutePath(), sub + "/herd.rsd");
    EXPECT_EQ(file->Name(), "herd.rsd");
    EXPECT_EQ(file->Parent()->AbsolutePath(), sub + "/");
    EXPECT_EQ(GetFolderItem(sub + "/x/../herd.rsd")->AbsolutePath(), sub + "/herd.rsd");
    EXPECT_EQ(GetFolderItem("/")->Parent(), nullptr);
    EXPECT_EQ(GetFolderItem(""), nullptr);
}

TEST(FolderItem, CreateReplacesOpenReadsDeleteRemoves) {
    TempDir dir;
    Ref<FolderItem> file = GetFolderItem(dir.write("out.csv", "old content that is longer\n"));
    {
        Ref<TextOutputStream> out = file->CreateTextFile();
        ASSERT_TRUE(out);
        out->WriteLine("NAME,COLOR");
        out->Write("Bella,brown");
    }
    EXPECT_EQ(TempDir::read(file->AbsolutePath()), "NAME,COLOR\nBella,brown");
    Ref<TextInputStream> in = file->OpenAsTextFile();
    ASSERT_TRUE(in);
    EXPECT_EQ(in->ReadLine(), "NAME,COLOR");
    in->Close();

    Ref<FolderItem> folder = GetFolderItem(dir.path());
    Ref<FolderItem> missing = folder->Child("missing.csv");
    EXPECT_EQ(missing->OpenAsTextFile(), nullptr);
    EXPECT_EQ(folder->OpenAsTextFile(), nullptr);
    EXPECT_EQ(folder->CreateTextFile(), nullptr);
    EXPECT_EQ(folder->Child("no")->Child("such.csv")->CreateTextFile(), nullptr);
    EXPECT_FALSE(missing->Delete());
    EXPECT_TRUE(file->Delete());
    EXPECT_FALSE(file->Exists());
}

// What is no regular file, or more than the program can hold, is refused
// before it is read, in a process whose memory is bounded as a small
// machine's would be: no wait for a FIFO's writer, no endless read of a
// device, no abort when the memory runs out.
TEST(FolderItems, WhatIsNoFileOrTooLargeIsRefusedWithoutReadingIt) {
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("pipe.csv").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir.file("zero.csv"));
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const std::string socketPath = dir.file("socket.csv");
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // Sparse files: they take no room on the disk.
    std::filesystem::resize_file(dir.write("huge.csv", "NAME\n"), uintmax_t(TextInputStream::MaxBytes) + 1);
    std::filesystem::resize_file(dir.write("big.csv", "NAME\n"), uintmax_t(1) << 30);

    const struct {
        const char* name;
        String why;
    } cases[] = {
        {"pipe.csv", "It is a named pipe (FIFO), not a file."},
        {"zero.csv", "It is a device, not a file."},
        {"socket.csv", "It is a socket, not a file."},
        {"huge.csv", "The file is larger than the 4 GB (4,294,967,295 bytes) that the converter can read."},
        {"big.csv", "There is not enough memory to read the file."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
#if defined(__SANITIZE_ADDRESS__)
        // AddressSanitizer ends a process whose allocation fails, by design.
        if (c.why == "There is not enough memory to read the file.") continue;
#endif
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const rlimit memory = {rlim_t(512) << 20, rlim_t(512) << 20};
            ::setrlimit(RLIMIT_AS, &memory);
            ::alarm(20);  // a read that blocks or never ends fails the case
            Ref<TextInputStream> in = GetFolderItem(dir.file(c.name))->OpenAsTextFile();
            const bool told = in && in->ErrorMessage() == c.why && in->Eof() && in->ReadAll().empty();
            ::_exit(told ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "another message, or none";
    }
    ::close(sock);
}

// UTF-16 text of ASCII letters, with the byte-order mark of its endianness.
std::string utf16(const std::string& ascii, bool little) {
    std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
    for (char c : ascii) out += little ? std::string{c, '\0'} : std::string{'\0', c};
    return out;
}

// Every file is read as UTF-8 text, whatever encoding it was saved in; the
// encoding is decided once for the whole file.
TEST(TextInputStream, ReadsLinesOverEveryLineEndingAndEncoding) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> lines;
    } cases[] = {
        {"LF", "a\nb\n", {"a", "b"}},
        {"CRLF", "a\r\nb\r\n", {"a", "b"}},
        {"CR", "a\rb\r", {"a", "b"}},
        {"mixed, last line without ending", "a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"empty lines kept", "a\n\n\r\nb", {"a", "", "", "b"}},
        {"UTF-8 unchanged", "Björk,✓\n", {"Björk,✓"}},
        {"empty file", "", {}},
        {"UTF-8 with byte-order mark", "\xEF\xBB\xBFuid,name\r\n9,Bj\xC3\xB6rk\r\n", {"uid,name", "9,Björk"}},
        {"byte-order mark alone", "\xEF\xBB\xBF", {}},
        {"Windows-1252", "Gr\xF6\xDF" "e,Bj\xF6rk\r\n\x80 5\r\n", {"Größe,Björk", "€ 5"}},
        {"a byte Windows-1252 leaves undefined", "a\x81" "b\n", {"a\u0081b"}},
        {"UTF-8 lines before Windows-1252 bytes, each read as itself", "Bj\xC3\xB6rk\nGr\xF6\xDF" "e\n",
         {"Björk", "Größe"}},
        {"UTF-16 little endian", utf16("name\r\nKid\r\n", true), {"name", "Kid"}},
        {"UTF-16 big endian", utf16("name\nKid", false) + std::string("\0\xF6", 2), {"name", "Kidö"}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Ref<TextInputStream> in = GetFolderItem(dir.write("in.txt", c.bytes))->OpenAsTextFile();
        ASSERT_TRUE(in);
        EXPECT_EQ(in->ErrorMessage(), "");
        std::vector<std::string> lines;
        while (!in->Eof() && lines.size() < 10) lines.push_back(in->ReadLine());
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(in->ReadLine(), "");
    }
}

TEST(TextInputStream, UTF16ThatIsNotValidSaysSo) {
    TempDir dir;
    for (const std::string& bytes : {utf16("name", true) + "\x41", utf16("ab", true) + std::string("\x00\xD8", 2)}) {
        Ref<TextInputStream> in = GetFolderItem(dir.write("in.txt", bytes))->OpenAsTextFile();
        ASSERT_TRUE(in);
        EXPECT_EQ(in->ErrorMessage(), "The file is marked as UTF-16 (little endian) but its text is not valid UTF-16.");
        EXPECT_TRUE(in->Eof());
    }
}

// The folder for files handed to the desktop's programs: the first of the
// runtime, cache and temporary folders that is a folder at an absolute path.
TEST(SpecialFolder, TemporaryIsTheFirstUsableOfRuntimeCacheAndTemporaryFolders) {
    TempDir dir;
    for (const char* folder : {"runtime", "cache", "home", "home/.cache", "tmp"})
        std::filesystem::create_directory(dir.file(folder));
    dir.write("a file", "");
    struct Case {
        const char* what;
        std::string runtime, cache, home, expected;  // "" leaves the variable unset
    };
    const std::vector<Case> cases = {
        {"the runtime folder", dir.file("runtime"), dir.file("cache"), dir.file("home"), dir.file("runtime")},
        {"no runtime folder: the cache folder", "", dir.file("cache"), dir.file("home"), dir.file("cache")},
        {"no cache variable: .cache in the home folder", "", "", dir.file("home"), dir.file("home/.cache")},
        {"a relative runtime path counts as none", "runtime", dir.file("cache"), "", dir.file("cache")},
        {"a runtime path that is a file, a missing cache folder", dir.file("a file"), dir.file("missing"),
         dir.file("missing"), dir.file("tmp")},
    };
    for (const Case& c : cases) {
        EnvGuard env;
        for (const auto& [name, value] : {std::pair{"XDG_RUNTIME_DIR", c.runtime}, std::pair{"XDG_CACHE_HOME", c.cache},
                                          std::pair{"HOME", c.home}})
            value.empty() ? env.unset(name) : env.set(name, value);
        env.set("TMPDIR", dir.file("tmp"));
        Ref<FolderItem> folder = SpecialFolder::Temporary();
        ASSERT_TRUE(folder) << c.what;
        EXPECT_EQ(folder->AbsolutePath(), c.expected + "/") << c.what;
    }
}

TEST(SpecialFolder, FollowsTheXdgUserDirectories) {
    TempDir dir;
    EnvGuard env;
    env.set("HOME", dir.path());
    env.set("XDG_CONFIG_HOME", dir.file("config"));
    EXPECT_EQ(SpecialFolder::Desktop()->AbsolutePath(), dir.file("Desktop"));
    EXPECT_EQ(SpecialFolder::Documents()->AbsolutePath(), dir.file("Documents"));

    std::filesystem::create_directory(dir.file("config"));
    dir.write("config/user-dirs.dirs",
              "# written by xdg-user-dirs-update\n"
              "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
              "XDG_DOCUMENTS_DIR=\"" + dir.file("Dokumente") + "\"\n");
    std::filesystem::create_directory(dir.file("Schreibtisch"));
    EXPECT_EQ(SpecialFolder::Desktop()->AbsolutePath(), dir.file("Schreibtisch") + "/");
    EXPECT_EQ(SpecialFolder::Documents()->AbsolutePath(), dir.file("Dokumente"));
}
