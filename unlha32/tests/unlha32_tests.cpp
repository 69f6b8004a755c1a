// Tests of libunlha32 through its exported C interface.
//
// The library is loaded with dlopen and its entry points are resolved by
// name with dlsym, as the program does. Archives: the shared fixtures
// (written by jlha, listed by lhasa), archives built byte by byte here for
// header details the fixtures do not cover, and archives made with jlha at
// test time when jlha is installed.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "unlha32.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

// ---------------------------------------------------------------------------
// The library, loaded once.

struct Api {
    void* lib = nullptr;
    int(UNLHA_API* query)(int) = nullptr;
    int(UNLHA_API* check)(const char*, int) = nullptr;
    HARC(UNLHA_API* open)(void*, const char*, uint32_t) = nullptr;
    int(UNLHA_API* findFirst)(HARC, const char*, void*) = nullptr;
    int(UNLHA_API* findNext)(HARC, void*) = nullptr;
    int(UNLHA_API* close)(HARC) = nullptr;
    int(UNLHA_API* getAttribute)(HARC) = nullptr;
    int(UNLHA_API* extract)(void*, const char*, unsigned char*, uint32_t, time_t*, uint16_t*, uint32_t*) = nullptr;
};

template <typename F>
void resolve(void* lib, const char* name, F& out)
{
    out = reinterpret_cast<F>(dlsym(lib, name));
}

const Api& api()
{
    static Api a = [] {
        Api r;
        r.lib = dlopen(UNLHA32_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (r.lib == nullptr) {
            ADD_FAILURE() << "dlopen " << UNLHA32_LIBRARY << ": " << dlerror();
            return r;
        }
        // The program's order of resolution.
        resolve(r.lib, "UnlhaOpenArchive", r.open);
        resolve(r.lib, "UnlhaFindFirst", r.findFirst);
        resolve(r.lib, "UnlhaFindNext", r.findNext);
        resolve(r.lib, "UnlhaCloseArchive", r.close);
        resolve(r.lib, "UnlhaExtractMem", r.extract);
        resolve(r.lib, "UnlhaGetAttribute", r.getAttribute);
        resolve(r.lib, "UnlhaQueryFunctionList", r.query);
        resolve(r.lib, "UnlhaCheckArchive", r.check);
        return r;
    }();
    return a;
}

class Unlha : public ::testing::Test {
protected:
    void SetUp() override
    {
        const Api& a = api();
        ASSERT_NE(a.lib, nullptr);
        ASSERT_TRUE(a.open && a.findFirst && a.findNext && a.close && a.extract && a.getAttribute && a.query
                    && a.check);
    }
};

// ---------------------------------------------------------------------------
// Helpers

// A path below the fixtures folder that is meant not to exist.
std::string absentFixture(const std::string& rel) { return std::string(UNLHA32_FIXTURES) + "/" + rel; }

// A fixture file or folder. A missing one ends the test with an exception
// that names it, rather than a later failure on an empty listing.
std::string fixture(const std::string& rel)
{
    const std::string path = absentFixture(rel);
    if (!std::filesystem::exists(path))
        throw std::runtime_error("missing test fixture: " + path
                                 + " (fixtures live in tests/data/fixtures; see tests/data/README.md)");
    return path;
}
std::string lzh(const std::string& name) { return fixture("lzh/" + name); }

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read test file " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

struct Member {
    std::string name;
    uint32_t size = 0;
    uint16_t date = 0;
    int attr = -1;
    ArchiveMemberInfo info{};
};

std::string dosDate(uint16_t d)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d.%d", (d >> 9) + 1980, (d >> 5) & 0x0F, d & 0x1F);
    return text;
}

// Reads the record the way the program does: offsets 0, 22 and 26 only.
Member fromRecord(const unsigned char* rec)
{
    Member m;
    uint32_t size;
    uint16_t date;
    std::memcpy(&size, rec + 0, 4);
    std::memcpy(&date, rec + 22, 2);
    const void* nul = std::memchr(rec + 26, '\0', 560 - 26);
    EXPECT_NE(nul, nullptr) << "record name is not terminated";
    m.name = nul ? std::string(reinterpret_cast<const char*>(rec + 26)) : std::string();
    m.size = size;
    m.date = date;
    std::memcpy(&m.info, rec, sizeof m.info);
    return m;
}

std::vector<Member> list(const std::string& path, const char* wildcard = "*.*")
{
    const Api& a = api();
    std::vector<Member> out;
    unsigned char rec[560];
    std::memset(rec, 0xCC, sizeof rec);
    HARC h = a.open(nullptr, path.c_str(), 0x08000000u);
    if (a.findFirst(h, wildcard, rec) != -1) {
        do {
            Member m = fromRecord(rec);
            m.attr = a.getAttribute(h);
            out.push_back(m);
            std::memset(rec, 0xCC, sizeof rec);
        } while (a.findNext(h, rec) != -1 && out.size() < 100000);
    }
    a.close(h);
    return out;
}

std::vector<std::string> names(const std::vector<Member>& ms)
{
    std::vector<std::string> r;
    for (const auto& m : ms) {
        r.push_back(m.name);
    }
    return r;
}

std::string command(const std::string& archive, const std::string& member)
{
    return "\"" + archive + "\" \"" + member + "\"";
}

struct Extracted {
    int rc = -1;
    uint32_t written = 0xFFFFFFFFu;
    Bytes data;
    time_t time = 0;
    uint16_t attr = 0xFFFF;
};

Extracted extract(const std::string& archive, const std::string& member, uint32_t size)
{
    Extracted e;
    Bytes buffer(size + 1, 0xAB);
    e.rc = api().extract(nullptr, command(archive, member).c_str(), buffer.data(), size, &e.time, &e.attr,
                         &e.written);
    if (e.written <= size) {
        e.data.assign(buffer.begin(), buffer.begin() + e.written);
        EXPECT_EQ(buffer[size], 0xAB) << "wrote past the buffer";
    }
    return e;
}

// A temporary folder removed at the end of the test.
class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/unlha32_test_XXXXXX";
        char* p = mkdtemp(tmpl);
        if (p != nullptr) {
            path_ = p;
        }
    }
    ~TempDir()
    {
        if (!path_.empty()) {
            std::error_code ec;
            fs::remove_all(path_, ec);
        }
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// ---------------------------------------------------------------------------
// Building archives byte by byte

uint16_t crc16(const Bytes& data)
{
    uint16_t crc = 0;
    for (unsigned char b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
        }
    }
    return crc;
}

void put16(Bytes& b, uint32_t v)
{
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}

void put32(Bytes& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

Bytes bytesOf(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A stored (-lh0-) member with a level 0 header.
Bytes level0Member(const Bytes& name, const Bytes& data, uint8_t attr = 0x20, uint16_t dosDate = 0x2A67,
                   int crcDelta = 0)
{
    Bytes h;
    h.push_back(0);  // size, set below
    h.push_back(0);  // checksum, set below
    for (char c : std::string("-lh0-")) {
        h.push_back(static_cast<unsigned char>(c));
    }
    put32(h, static_cast<uint32_t>(data.size()));
    put32(h, static_cast<uint32_t>(data.size()));
    put16(h, 0x6000);  // 12:00:00
    put16(h, dosDate);
    h.push_back(attr);
    h.push_back(0);  // level 0
    h.push_back(static_cast<unsigned char>(name.size()));
    h.insert(h.end(), name.begin(), name.end());
    put16(h, static_cast<uint16_t>(crc16(data) + crcDelta));
    h[0] = static_cast<unsigned char>(h.size() - 2);
    unsigned sum = 0;
    for (size_t i = 2; i < h.size(); ++i) {
        sum += h[i];
    }
    h[1] = static_cast<unsigned char>(sum);
    h.insert(h.end(), data.begin(), data.end());
    return h;
}

struct Ext {
    uint8_t type;
    Bytes data;
};

// A stored (-lh0-) member with a level 2 header and the given extended
// headers.
Bytes level2Member(const std::vector<Ext>& exts, const Bytes& data, uint8_t os = 'M', uint8_t attr = 0x20,
                   uint32_t unixTime = 984484800u /* 2001-03-13 12:00 UTC */)
{
    Bytes h;
    put16(h, 0);  // total size, set below
    for (char c : std::string("-lh0-")) {
        h.push_back(static_cast<unsigned char>(c));
    }
    put32(h, static_cast<uint32_t>(data.size()));
    put32(h, static_cast<uint32_t>(data.size()));
    put32(h, unixTime);
    h.push_back(attr);
    h.push_back(2);  // level 2
    put16(h, crc16(data));
    h.push_back(os);
    for (const Ext& e : exts) {
        put16(h, static_cast<uint32_t>(e.data.size() + 3));
        h.push_back(e.type);
        h.insert(h.end(), e.data.begin(), e.data.end());
    }
    put16(h, 0);
    h[0] = static_cast<unsigned char>(h.size());
    h[1] = static_cast<unsigned char>(h.size() >> 8);
    h.insert(h.end(), data.begin(), data.end());
    return h;
}

Bytes archiveOf(const std::vector<Bytes>& members)
{
    Bytes a;
    for (const Bytes& m : members) {
        a.insert(a.end(), m.begin(), m.end());
    }
    a.push_back(0);  // end of archive
    return a;
}

Bytes utf16le(const std::u16string& s)
{
    Bytes b;
    for (char16_t c : s) {
        put16(b, c);
    }
    return b;
}

// Runs a program with arguments in a folder, without a shell; its exit
// status, or -1 when it could not be started.
int run(const std::string& folder, const std::vector<std::string>& argv)
{
    pid_t pid = fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        if (chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

bool haveJlha()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && access((dir + "/jlha").c_str(), X_OK) == 0) {
            return true;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Interface

TEST_F(Unlha, ExportsTheEightEntryPointsOnly)
{
    void* lib = api().lib;
    for (const char* name : {"UnlhaOpenArchive", "UnlhaFindFirst", "UnlhaFindNext", "UnlhaCloseArchive",
                             "UnlhaExtractMem", "UnlhaGetAttribute", "UnlhaQueryFunctionList", "UnlhaCheckArchive"}) {
        EXPECT_NE(dlsym(lib, name), nullptr) << name;
    }
    for (const char* name : {"unlha_open_memory", "unlha_extract_memory", "unlha_match_name", "extract_member"}) {
        EXPECT_EQ(dlsym(lib, name), nullptr) << name << " must not be exported";
    }
}

TEST_F(Unlha, QueryFunctionList)
{
    const Api& a = api();
    EXPECT_NE(a.query(23), 0);
    for (int fn : {UNLHA_FN_CHECK_ARCHIVE, UNLHA_FN_QUERY_FUNCTION_LIST, UNLHA_FN_OPEN_ARCHIVE,
                   UNLHA_FN_CLOSE_ARCHIVE, UNLHA_FN_FIND_FIRST, UNLHA_FN_FIND_NEXT, UNLHA_FN_EXTRACT_MEM,
                   UNLHA_FN_GET_ATTRIBUTE}) {
        EXPECT_NE(a.query(fn), 0) << fn;
    }
    for (int fn : {-1, 0, 1, 2, 22, 28, 100, 99999}) {
        EXPECT_EQ(a.query(fn), 0) << fn;
    }
}

TEST_F(Unlha, NullHandleIsSafe)
{
    const Api& a = api();
    unsigned char rec[560];
    EXPECT_EQ(a.findFirst(nullptr, "*.*", rec), -1);
    EXPECT_EQ(a.findNext(nullptr, rec), -1);
    EXPECT_EQ(a.getAttribute(nullptr), -1);
    EXPECT_EQ(a.close(nullptr), 0);
    EXPECT_EQ(a.open(nullptr, nullptr, 0x08000000u), nullptr);
    EXPECT_EQ(a.open(nullptr, "", 0x08000000u), nullptr);
    EXPECT_EQ(a.check(nullptr, 0), 0);
}

TEST_F(Unlha, FirstFindOnAnArchiveThatFailedToOpenIsMinusOne)
{
    const Api& a = api();
    unsigned char rec[560];
    for (const char* name : {"notanarchive.lzh", "plain.exe", "does-not-exist.lzh"}) {
        const std::string path = std::strcmp(name, "does-not-exist.lzh") == 0 ? absentFixture("lzh/" + std::string(name))
                                                                              : lzh(name);
        HARC h = a.open(nullptr, path.c_str(), 0x08000000u);
        EXPECT_EQ(h, nullptr) << name;
        EXPECT_EQ(a.findFirst(h, "*.*", rec), -1) << name;
        EXPECT_EQ(a.findNext(h, rec), -1) << name;
        EXPECT_EQ(a.getAttribute(h), -1) << name;
        EXPECT_EQ(a.close(h), 0) << name;
    }
}

TEST_F(Unlha, FindNextBeforeFindFirstAndAfterTheEnd)
{
    const Api& a = api();
    unsigned char rec[560];
    HARC h = a.open(nullptr, lzh("stored.lzh").c_str(), 0x08000000u);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(a.findNext(h, rec), -1);
    EXPECT_EQ(a.getAttribute(h), -1);
    ASSERT_EQ(a.findFirst(h, "*.*", rec), 0);
    ASSERT_EQ(a.findNext(h, rec), 0);
    EXPECT_EQ(a.findNext(h, rec), -1);
    EXPECT_EQ(a.findNext(h, rec), -1);
    // A new search starts over.
    ASSERT_EQ(a.findFirst(h, "*.*", rec), 0);
    EXPECT_EQ(fromRecord(rec).name, "a.txt");
    // A NULL record is allowed.
    EXPECT_EQ(a.findNext(h, nullptr), 0);
    a.close(h);
}

// ---------------------------------------------------------------------------
// The fixtures

struct LevelCase {
    const char* archive;
    const char* method;
    uint32_t bigCompressed;
};

void PrintTo(const LevelCase& c, std::ostream* os) { *os << c.archive; }

class FixtureArchives : public Unlha, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(FixtureArchives, ListsNamesSizesDatesAndMethods)
{
    const LevelCase& c = GetParam();
    auto ms = list(lzh(c.archive));
    ASSERT_EQ(names(ms), (std::vector<std::string>{"a.txt", "big.txt", "small_sjis.txt"}));
    EXPECT_EQ(ms[0].size, 26u);
    EXPECT_EQ(ms[1].size, 199298u);
    EXPECT_EQ(ms[2].size, 2619u);
    EXPECT_EQ(dosDate(ms[0].date), "2001.3.7");
    EXPECT_EQ(ms[0].date, 0x2A67);
    EXPECT_STREQ(ms[0].info.method, "-lh0-");
    EXPECT_STREQ(ms[1].info.method, c.method);
    EXPECT_STREQ(ms[2].info.method, c.method);
    EXPECT_EQ(ms[0].info.compressedSize, 26u);
    EXPECT_EQ(ms[1].info.compressedSize, c.bigCompressed);
    EXPECT_EQ(ms[2].info.compressedSize, 858u);
    EXPECT_EQ(ms[0].info.crc, 0xac14u);
    EXPECT_EQ(ms[1].info.crc, 0x06ccu);
    EXPECT_EQ(ms[2].info.crc, 0x47ceu);
    EXPECT_EQ(ms[0].info.ratio, 1000);
    EXPECT_EQ(ms[1].info.ratio, static_cast<uint16_t>(uint64_t{c.bigCompressed} * 1000 / 199298));
    for (const auto& m : ms) {
        EXPECT_EQ(m.attr, 0x20) << m.name;
        EXPECT_STREQ(m.info.attribute, "----A") << m.name;
    }
}

TEST_P(FixtureArchives, ExtractsEveryMemberByteForByte)
{
    const LevelCase& c = GetParam();
    for (const char* name : {"a.txt", "big.txt", "small_sjis.txt"}) {
        Bytes expected = readFile(fixture(std::string("src/") + name));
        ASSERT_FALSE(expected.empty()) << name;
        Extracted e = extract(lzh(c.archive), name, 500000);
        EXPECT_EQ(e.rc, 0) << name;
        EXPECT_EQ(e.written, expected.size()) << name;
        EXPECT_TRUE(e.data == expected) << name;
        EXPECT_EQ(e.attr, 0x20) << name;
    }
}

TEST_P(FixtureArchives, PreviewOfBigMemberIsItsFirst2000Bytes)
{
    const LevelCase& c = GetParam();
    Bytes expected = readFile(fixture("src/big.txt"));
    ASSERT_GT(expected.size(), 2000u);
    expected.resize(2000);
    Extracted e = extract(lzh(c.archive), "big.txt", 2000);
    EXPECT_EQ(e.rc, 0);
    EXPECT_EQ(e.written, 2000u);
    EXPECT_TRUE(e.data == expected);
}

TEST_P(FixtureArchives, ExtractionReportsTimeAndDate)
{
    const LevelCase& c = GetParam();
    Extracted e = extract(lzh(c.archive), "a.txt", 2000);
    ASSERT_EQ(e.rc, 0);
    struct tm tm {};
    ASSERT_NE(localtime_r(&e.time, &tm), nullptr);
    EXPECT_EQ(tm.tm_year + 1900, 2001);
    EXPECT_EQ(tm.tm_mon + 1, 3);
    EXPECT_EQ(tm.tm_mday, 7);
}

INSTANTIATE_TEST_SUITE_P(Levels, FixtureArchives,
                         ::testing::Values(LevelCase{"h0_lh5.lzh", "-lh5-", 47002}, LevelCase{"h0_lh6.lzh", "-lh6-", 45810},
                                           LevelCase{"h0_lh7.lzh", "-lh7-", 45359}, LevelCase{"h1_lh5.lzh", "-lh5-", 47002},
                                           LevelCase{"h1_lh6.lzh", "-lh6-", 45810}, LevelCase{"h1_lh7.lzh", "-lh7-", 45359},
                                           LevelCase{"h2_lh5.lzh", "-lh5-", 47002}, LevelCase{"h2_lh6.lzh", "-lh6-", 45810},
                                           LevelCase{"h2_lh7.lzh", "-lh7-", 45359}, LevelCase{"sfx.exe", "-lh5-", 47002},
                                           LevelCase{"renamed.lha", "-lh5-", 47002}),
                         [](const ::testing::TestParamInfo<LevelCase>& info) {
                             std::string n = info.param.archive;
                             std::replace(n.begin(), n.end(), '.', '_');
                             return n;
                         });

TEST_F(Unlha, StoredArchive)
{
    auto ms = list(lzh("stored.lzh"));
    ASSERT_EQ(names(ms), (std::vector<std::string>{"a.txt", "small_sjis.txt"}));
    EXPECT_EQ(ms[1].size, 2619u);
    EXPECT_STREQ(ms[1].info.method, "-lh0-");
    for (const char* name : {"a.txt", "small_sjis.txt"}) {
        Extracted e = extract(lzh("stored.lzh"), name, 500000);
        EXPECT_EQ(e.rc, 0);
        EXPECT_TRUE(e.data == readFile(fixture(std::string("src/") + name))) << name;
    }
    Extracted e = extract(lzh("stored.lzh"), "small_sjis.txt", 2000);
    Bytes expected = readFile(fixture("src/small_sjis.txt"));
    expected.resize(2000);
    EXPECT_EQ(e.written, 2000u);
    EXPECT_TRUE(e.data == expected);
}

TEST_F(Unlha, ShiftJisAndFolderNamesComeOutAsUtf8)
{
    auto ms = list(lzh("names.lzh"));
    ASSERT_EQ(names(ms), (std::vector<std::string>{"日本語.txt", "with space.txt", "sub/inner.txt"}));
    EXPECT_EQ(ms[0].size, 28u);
    EXPECT_EQ(ms[2].size, 11u);
    for (const char* name : {"日本語.txt", "with space.txt", "sub/inner.txt"}) {
        Extracted e = extract(lzh("names.lzh"), name, 2000);
        EXPECT_EQ(e.rc, 0) << name;
        EXPECT_TRUE(e.data == readFile(fixture(std::string("src/") + name))) << name;
    }
    // Found by exact name, too.
    auto one = list(lzh("names.lzh"), "日本語.txt");
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].size, 28u);
}

TEST_F(Unlha, MixedArchiveWithBinaryAndEmptyMembers)
{
    auto ms = list(lzh("mixed.lzh"));
    ASSERT_EQ(names(ms), (std::vector<std::string>{"binary.bin", "empty.txt", "a.txt"}));
    EXPECT_EQ(ms[0].size, 1024u);
    EXPECT_EQ(ms[1].size, 0u);
    EXPECT_EQ(ms[1].info.ratio, 0);
    EXPECT_STREQ(ms[0].info.method, "-lh5-");
    Extracted bin = extract(lzh("mixed.lzh"), "binary.bin", 500000);
    EXPECT_EQ(bin.rc, 0);
    EXPECT_TRUE(bin.data == readFile(fixture("src/binary.bin")));
    Extracted empty = extract(lzh("mixed.lzh"), "empty.txt", 2000);
    EXPECT_EQ(empty.rc, 0);
    EXPECT_EQ(empty.written, 0u);
    Extracted a = extract(lzh("mixed.lzh"), "a.txt", 2000);
    EXPECT_EQ(a.rc, 0);
    EXPECT_EQ(std::string(a.data.begin(), a.data.end()), "hello world\r\nsecond line\r\n");
}

TEST_F(Unlha, UpperCaseArchiveName)
{
    auto ms = list(lzh("UPPER.LZH"));
    ASSERT_EQ(names(ms), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(extract(lzh("UPPER.LZH"), "a.txt", 2000).written, 26u);
    EXPECT_NE(api().check(lzh("UPPER.LZH").c_str(), 0), 0);
}

TEST_F(Unlha, TruncatedArchiveListsCompleteHeadersAndRefusesCutMember)
{
    auto ms = list(lzh("truncated.lzh"));
    ASSERT_EQ(names(ms), (std::vector<std::string>{"a.txt", "big.txt"}));
    EXPECT_EQ(ms[1].size, 199298u);
    Extracted a = extract(lzh("truncated.lzh"), "a.txt", 2000);
    EXPECT_EQ(a.rc, 0);
    EXPECT_EQ(a.written, 26u);
    for (uint32_t size : {2000u, 500000u}) {
        Extracted big = extract(lzh("truncated.lzh"), "big.txt", size);
        EXPECT_NE(big.rc, 0);
        EXPECT_EQ(big.written, 0u);
    }
}

TEST_F(Unlha, NotAnArchive)
{
    EXPECT_TRUE(list(lzh("notanarchive.lzh")).empty());
    EXPECT_EQ(api().check(lzh("notanarchive.lzh").c_str(), 0), 0);
    Extracted e = extract(lzh("notanarchive.lzh"), "a.txt", 2000);
    EXPECT_NE(e.rc, 0);
    EXPECT_EQ(e.written, 0u);
}

TEST_F(Unlha, CheckArchive)
{
    const Api& a = api();
    EXPECT_NE(a.check(lzh("sfx.exe").c_str(), 0), 0);
    EXPECT_EQ(a.check(lzh("plain.exe").c_str(), 0), 0);
    EXPECT_EQ(a.check(lzh("notanarchive.lzh").c_str(), 0), 0);
    EXPECT_EQ(a.check(fixture("text/sample.sjis.txt").c_str(), 0), 0);
    EXPECT_EQ(a.check(absentFixture("lzh/no-such-file.exe").c_str(), 0), 0);
    EXPECT_EQ(a.check(fixture("lzh").c_str(), 0), 0);  // a folder
    EXPECT_EQ(a.check("/dev/zero", 0), 0);              // not a regular file
    TempDir dir;
    std::string fifo = dir.file("fifo.exe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(a.check(fifo.c_str(), 0), 0);  // must not block waiting for a writer
    EXPECT_EQ(a.open(nullptr, fifo.c_str(), 0x08000000u), nullptr);
    for (const char* name : {"h0_lh5.lzh", "h1_lh6.lzh", "h2_lh7.lzh", "stored.lzh", "names.lzh", "mixed.lzh",
                             "renamed.lha", "truncated.lzh"}) {
        EXPECT_NE(a.check(lzh(name).c_str(), 0), 0) << name;
    }
}

TEST_F(Unlha, PlainExecutable)
{
    EXPECT_EQ(api().open(nullptr, lzh("plain.exe").c_str(), 0x08000000u), nullptr);
    EXPECT_TRUE(list(lzh("plain.exe")).empty());
    EXPECT_EQ(extract(lzh("plain.exe"), "a.txt", 2000).written, 0u);
}

TEST_F(Unlha, SelfExtractingExecutable)
{
    auto ms = list(lzh("sfx.exe"));
    ASSERT_EQ(names(ms), (std::vector<std::string>{"a.txt", "big.txt", "small_sjis.txt"}));
    Extracted e = extract(lzh("sfx.exe"), "big.txt", 500000);
    EXPECT_EQ(e.rc, 0);
    EXPECT_TRUE(e.data == readFile(fixture("src/big.txt")));
}

// ---------------------------------------------------------------------------
// Wildcards

TEST_F(Unlha, Wildcards)
{
    const std::string h1 = lzh("h1_lh5.lzh");
    using V = std::vector<std::string>;
    EXPECT_EQ(names(list(h1, "*.*")), (V{"a.txt", "big.txt", "small_sjis.txt"}));
    EXPECT_EQ(names(list(h1, "*")), (V{"a.txt", "big.txt", "small_sjis.txt"}));
    EXPECT_EQ(names(list(h1, "")), (V{"a.txt", "big.txt", "small_sjis.txt"}));
    EXPECT_EQ(names(list(h1, nullptr)), (V{"a.txt", "big.txt", "small_sjis.txt"}));
    EXPECT_EQ(names(list(h1, "*.txt")), (V{"a.txt", "big.txt", "small_sjis.txt"}));
    EXPECT_EQ(names(list(h1, "a.txt")), (V{"a.txt"}));
    EXPECT_EQ(names(list(h1, "A.TXT")), (V{"a.txt"}));
    EXPECT_EQ(names(list(h1, "BIG.txt")), (V{"big.txt"}));
    EXPECT_EQ(names(list(h1, "b*.*")), (V{"big.txt"}));
    EXPECT_EQ(names(list(h1, "?.txt")), (V{"a.txt"}));
    EXPECT_EQ(names(list(h1, "*_*")), (V{"small_sjis.txt"}));
    EXPECT_EQ(names(list(h1, "*.t?t")), (V{"a.txt", "big.txt", "small_sjis.txt"}));
    EXPECT_TRUE(list(h1, "*.bin").empty());
    EXPECT_TRUE(list(h1, "a.tx").empty());
    EXPECT_TRUE(list(h1, "a.txt ").empty());
    EXPECT_TRUE(list(h1, "xa.txt").empty());

    const std::string nm = lzh("names.lzh");
    EXPECT_EQ(names(list(nm, "sub/*")), (V{"sub/inner.txt"}));
    EXPECT_EQ(names(list(nm, "sub\\inner.txt")), (V{"sub/inner.txt"}));
    EXPECT_EQ(names(list(nm, "*inner*")), (V{"sub/inner.txt"}));
    EXPECT_TRUE(list(nm, "inner.txt").empty());
    EXPECT_EQ(names(list(nm, "???.txt")), (V{"日本語.txt"}));  // "?" is one character
    EXPECT_EQ(names(list(nm, "with space.txt")), (V{"with space.txt"}));
}

// ---------------------------------------------------------------------------
// Command line of UnlhaExtractMem

TEST_F(Unlha, ExtractCommandLineForms)
{
    const Api& a = api();
    Bytes buffer(2001);
    uint32_t written = 77;
    // Unquoted tokens.
    std::string cmd = lzh("h2_lh5.lzh") + " a.txt";
    EXPECT_EQ(a.extract(nullptr, cmd.c_str(), buffer.data(), 2000, nullptr, nullptr, &written), 0);
    EXPECT_EQ(written, 26u);
    // A switch before the arguments is ignored.
    cmd = "-n \"" + lzh("h2_lh5.lzh") + "\" \"a.txt\"";
    written = 77;
    EXPECT_EQ(a.extract(nullptr, cmd.c_str(), buffer.data(), 2000, nullptr, nullptr, &written), 0);
    EXPECT_EQ(written, 26u);
    // No member named.
    cmd = "\"" + lzh("h2_lh5.lzh") + "\"";
    written = 77;
    EXPECT_NE(a.extract(nullptr, cmd.c_str(), buffer.data(), 2000, nullptr, nullptr, &written), 0);
    EXPECT_EQ(written, 0u);
    // Nothing at all.
    written = 77;
    EXPECT_NE(a.extract(nullptr, nullptr, buffer.data(), 2000, nullptr, nullptr, &written), 0);
    EXPECT_EQ(written, 0u);
    written = 77;
    EXPECT_NE(a.extract(nullptr, "", buffer.data(), 2000, nullptr, nullptr, &written), 0);
    EXPECT_EQ(written, 0u);
    // Unknown member, missing archive.
    written = 77;
    EXPECT_EQ(a.extract(nullptr, command(lzh("h2_lh5.lzh"), "nope.txt").c_str(), buffer.data(), 2000, nullptr,
                        nullptr, &written),
              UNLHA_ERROR_NOT_FOUND);
    EXPECT_EQ(written, 0u);
    written = 77;
    EXPECT_EQ(a.extract(nullptr, command(absentFixture("lzh/missing.lzh"), "a.txt").c_str(), buffer.data(), 2000, nullptr,
                        nullptr, &written),
              UNLHA_ERROR_FILE_OPEN);
    EXPECT_EQ(written, 0u);
    // A NULL written pointer and a NULL buffer of size 0 are harmless.
    EXPECT_EQ(a.extract(nullptr, command(lzh("h2_lh5.lzh"), "a.txt").c_str(), buffer.data(), 2000, nullptr,
                        nullptr, nullptr),
              0);
    written = 77;
    EXPECT_EQ(a.extract(nullptr, command(lzh("h2_lh5.lzh"), "a.txt").c_str(), nullptr, 0, nullptr, nullptr,
                        &written),
              0);
    EXPECT_EQ(written, 0u);
}

TEST_F(Unlha, ArchivePathWithSpaces)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string path = dir.file("my archive (copy).lzh");
    writeFile(path, readFile(lzh("names.lzh")));
    Extracted e = extract(path, "with space.txt", 2000);
    EXPECT_EQ(e.rc, 0);
    EXPECT_TRUE(e.data == readFile(fixture("src/with space.txt")));
    EXPECT_EQ(names(list(path)).size(), 3u);
}

TEST_F(Unlha, GetAttribute)
{
    const Api& a = api();
    unsigned char rec[560];
    HARC h = a.open(nullptr, lzh("h0_lh5.lzh").c_str(), 0x08000000u);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(a.getAttribute(h), -1);
    ASSERT_EQ(a.findFirst(h, "a.txt", rec), 0);
    EXPECT_EQ(a.getAttribute(h), 0x20);
    EXPECT_EQ(a.findNext(h, rec), -1);
    EXPECT_EQ(a.findFirst(h, "none.txt", rec), -1);
    EXPECT_EQ(a.getAttribute(h), -1);
    a.close(h);
}

// ---------------------------------------------------------------------------
// Archives built here: header details

TEST_F(Unlha, Level0NamesKeepShiftJisTrailBytesAndCapitals)
{
    TempDir dir;
    // 表 is 0x95 0x5C in code page 932: its trail byte is "\" in ASCII.
    Bytes hyo = {0x95, 0x5C};
    Bytes name1 = bytesOf("DIR\\");
    name1.insert(name1.end(), hyo.begin(), hyo.end());
    for (char c : std::string(".TXT")) {
        name1.push_back(static_cast<unsigned char>(c));
    }
    Bytes name2 = bytesOf("A");
    name2.push_back(0xFF);  // 0xFF as folder separator
    name2.insert(name2.end(), hyo.begin(), hyo.end());
    Bytes data = bytesOf("payload\r\n");
    std::string path = dir.file("l0.lzh");
    writeFile(path, archiveOf({level0Member(name1, data, 0x21), level0Member(name2, data, 0x03),
                               level0Member(bytesOf("README"), data, 0x20)}));
    auto ms = list(path);
    ASSERT_EQ(names(ms), (std::vector<std::string>{"DIR/表.TXT", "A/表", "README"}));
    EXPECT_EQ(ms[0].attr, 0x21);
    EXPECT_STREQ(ms[0].info.attribute, "R---A");
    EXPECT_EQ(ms[1].attr, 0x03);
    EXPECT_EQ(dosDate(ms[0].date), "2001.3.7");
    Extracted e = extract(path, "dir/表.txt", 2000);  // case-insensitive for ASCII
    EXPECT_EQ(e.rc, 0);
    EXPECT_EQ(e.attr, 0x21);
    EXPECT_TRUE(e.data == data);
    // "*.*" also matches a name without a dot.
    EXPECT_EQ(names(list(path, "*.*")).size(), 3u);
    EXPECT_EQ(names(list(path, "READ*.*")), (std::vector<std::string>{"README"}));
}

TEST_F(Unlha, Level2ExtendedHeaders)
{
    TempDir dir;
    Bytes data = bytesOf("level two\r\n");
    Bytes sjisName = {0x83, 0x65, 0x83, 0x58, 0x83, 0x67, '.', 't', 'x', 't'};  // テスト.txt
    Bytes dirName = bytesOf("top");
    dirName.push_back(0xFF);
    dirName.push_back(0x95);  // 表
    dirName.push_back(0x5C);
    dirName.push_back(0xFF);
    std::vector<Bytes> members = {
        // 0x01 name + 0x02 folder + 0x40 attribute
        level2Member({{0x01, sjisName}, {0x02, dirName}, {0x40, {0x23, 0x00}}}, data),
        // 0x44 UTF-16 name wins over the 0x01 name
        level2Member({{0x01, bytesOf("ignored.txt")}, {0x44, utf16le(u"Ünïcode €.txt")}}, data),
        // 0x46 code page 65001: the 0x01 name is UTF-8
        level2Member({{0x01, bytesOf("κείμενο.txt")}, {0x46, {0xE9, 0xFD, 0x00, 0x00}}}, data),
        // Unix OS type and a UTF-8 name
        level2Member({{0x01, bytesOf("ユニックス.txt")}}, data, 'U'),
        // Bytes valid in neither encoding: shown, not dropped
        level2Member({{0x01, {'b', 'a', 'd', 0x81, 0x20, 0xFD, '.', 't', 'x', 't'}}}, data),
        // A folder entry
        level2Member({{0x02, bytesOf("emptydir\xFF")}}, {}, 'M', 0x10),
    };
    // The folder entry uses method -lhd-.
    Bytes& folder = members.back();
    std::memcpy(folder.data() + 2, "-lhd-", 5);
    std::string path = dir.file("l2.lzh");
    writeFile(path, archiveOf(members));

    auto ms = list(path);
    ASSERT_EQ(ms.size(), 6u);
    EXPECT_EQ(ms[0].name, "top/表/テスト.txt");
    EXPECT_EQ(ms[0].attr, 0x23);
    EXPECT_EQ(ms[1].name, "Ünïcode €.txt");
    EXPECT_EQ(ms[2].name, "κείμενο.txt");
    EXPECT_EQ(ms[3].name, "ユニックス.txt");
    EXPECT_EQ(ms[4].name.substr(0, 3), "bad");
    EXPECT_NE(ms[4].name.find("\xEF\xBF\xBD"), std::string::npos);  // U+FFFD
    EXPECT_EQ(ms[5].name, "emptydir/");
    EXPECT_EQ(ms[5].attr & 0x10, 0x10);
    EXPECT_EQ(dosDate(ms[0].date), "2001.3.13");

    for (int i = 0; i < 5; ++i) {
        Extracted e = extract(path, ms[i].name, 2000);
        EXPECT_EQ(e.rc, 0) << ms[i].name;
        EXPECT_TRUE(e.data == data) << ms[i].name;
        EXPECT_EQ(e.time, 984484800) << ms[i].name;
    }
    Extracted d = extract(path, "emptydir/", 2000);
    EXPECT_NE(d.rc, 0);
    EXPECT_EQ(d.written, 0u);
}

TEST_F(Unlha, LongNamesAreCutAtACharacterBoundary)
{
    TempDir dir;
    Bytes name;
    for (int i = 0; i < 250; ++i) {  // 250 x 日 (0x93 0xFA): 750 bytes of UTF-8
        name.push_back(0x93);
        name.push_back(0xFA);
    }
    Bytes data = bytesOf("x");
    std::string path = dir.file("long.lzh");
    writeFile(path, archiveOf({level2Member({{0x01, name}}, data)}));
    auto ms = list(path);
    ASSERT_EQ(ms.size(), 1u);
    EXPECT_EQ(ms[0].name.size(), 510u);  // 170 characters of 3 bytes
    std::string expected;
    for (int i = 0; i < 170; ++i) {
        expected += "日";
    }
    EXPECT_EQ(ms[0].name, expected);
    Extracted e = extract(path, ms[0].name, 10);
    EXPECT_EQ(e.rc, 0);
    EXPECT_EQ(e.written, 1u);
}

TEST_F(Unlha, CrcMismatchFailsTheExtraction)
{
    TempDir dir;
    Bytes data = bytesOf("some bytes whose crc is wrong\r\n");
    std::string path = dir.file("crc.lzh");
    writeFile(path, archiveOf({level0Member(bytesOf("bad.txt"), data, 0x20, 0x2A67, 1),
                               level0Member(bytesOf("good.txt"), data)}));
    EXPECT_EQ(list(path).size(), 2u);
    Extracted bad = extract(path, "bad.txt", 2000);
    EXPECT_EQ(bad.rc, UNLHA_ERROR_CRC);
    EXPECT_EQ(bad.written, 0u);
    // Part of the member only: no CRC to check, the bytes are given.
    Extracted part = extract(path, "bad.txt", 4);
    EXPECT_EQ(part.rc, 0);
    EXPECT_EQ(part.written, 4u);
    Extracted good = extract(path, "good.txt", 2000);
    EXPECT_EQ(good.rc, 0);
    EXPECT_TRUE(good.data == data);
}

TEST_F(Unlha, CorruptCompressedDataFails)
{
    TempDir dir;
    Bytes arc = readFile(lzh("h2_lh5.lzh"));
    ASSERT_GT(arc.size(), 30000u);
    for (size_t i = 20000; i < 20040; ++i) {
        arc[i] ^= 0x5A;  // inside big.txt's compressed data
    }
    std::string path = dir.file("corrupt.lzh");
    writeFile(path, arc);
    EXPECT_EQ(list(path).size(), 3u);
    Extracted e = extract(path, "big.txt", 500000);
    EXPECT_NE(e.rc, 0);
    EXPECT_EQ(e.written, 0u);
    // The start of the member is still intact.
    Extracted p = extract(path, "big.txt", 2000);
    EXPECT_EQ(p.rc, 0);
    EXPECT_EQ(p.written, 2000u);
}

TEST_F(Unlha, ManyMembers)
{
    TempDir dir;
    std::vector<Bytes> members;
    for (int i = 0; i < 3000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file%04d.txt", i);
        members.push_back(level0Member(bytesOf(name), bytesOf(std::string("member ") + name)));
    }
    std::string path = dir.file("many.lzh");
    writeFile(path, archiveOf(members));
    auto ms = list(path);
    ASSERT_EQ(ms.size(), 3000u);
    EXPECT_EQ(ms[2999].name, "file2999.txt");
    Extracted e = extract(path, "file2999.txt", 2000);
    EXPECT_EQ(e.rc, 0);
    EXPECT_EQ(std::string(e.data.begin(), e.data.end()), "member file2999.txt");
}

// ---------------------------------------------------------------------------
// Robustness: mutated fixtures and the kept regression inputs

void exercise(const std::string& path)
{
    const Api& a = api();
    std::vector<Member> ms = list(path);
    if (ms.size() > 50) {
        ms.resize(50);
    }
    for (const Member& m : ms) {
        for (uint32_t size : {2000u, 500000u}) {
            Extracted e = extract(path, m.name, size);
            if (e.rc != 0) {
                EXPECT_EQ(e.written, 0u);
            }
            EXPECT_LE(e.written, size);
        }
    }
    (void)a.check(path.c_str(), 0);
}

TEST_F(Unlha, MutatedFixturesNeverCrash)
{
    TempDir dir;
    std::mt19937 rng(20240607);
    const std::vector<std::string> seeds = {"h0_lh5.lzh", "h1_lh6.lzh", "h2_lh7.lzh", "names.lzh",
                                            "mixed.lzh",  "stored.lzh", "sfx.exe"};
    std::string path = dir.file("mutant.lzh");
    for (int round = 0; round < 300; ++round) {
        Bytes data = readFile(lzh(seeds[round % seeds.size()]));
        int edits = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < edits && !data.empty(); ++i) {
            size_t at;
            // Mostly the headers, sometimes anywhere.
            if (rng() % 3 != 0) {
                at = rng() % std::min<size_t>(data.size(), 128);
            } else {
                at = rng() % data.size();
            }
            switch (rng() % 4) {
            case 0:
                data[at] = static_cast<unsigned char>(rng());
                break;
            case 1:
                data[at] ^= static_cast<unsigned char>(1u << (rng() % 8));
                break;
            case 2:
                data.resize(at);
                break;
            default:
                data[at] = (rng() % 2) ? 0xFF : 0x00;
                break;
            }
        }
        writeFile(path, data);
        exercise(path);
    }
}

TEST_F(Unlha, RegressionInputsNeverCrash)
{
    std::error_code ec;
    int count = 0;
    for (const auto& entry : fs::directory_iterator(UNLHA32_REGRESS, ec)) {
        if (entry.is_regular_file() && entry.path().filename() != "README.md") {
            SCOPED_TRACE(entry.path().string());
            exercise(entry.path().string());
            ++count;
        }
    }
    RecordProperty("inputs", count);
}

TEST_F(Unlha, HostileInputsFailCleanly)
{
    const std::string dir = UNLHA32_REGRESS;
    Extracted huge = extract(dir + "/lh5-claims-4gb.lzh", "huge.txt", 500000);
    EXPECT_NE(huge.rc, 0);
    EXPECT_EQ(huge.written, 0u);
    Extracted past = extract(dir + "/csize-max.lzh", "a.txt", 2000);
    EXPECT_EQ(past.rc, UNLHA_ERROR_TRUNCATED);
    EXPECT_EQ(past.written, 0u);
    for (const char* name : {"level3-huge-header-length.lzh", "level1-ext-chain-past-end.lzh",
                             "level2-short-header.lzh", "sfx-many-false-headers.exe"}) {
        EXPECT_TRUE(list(dir + "/" + name).empty()) << name;
        EXPECT_EQ(api().check((dir + "/" + name).c_str(), 0), 0) << name;
    }
    auto odd = list(dir + "/odd-names.lzh");
    ASSERT_EQ(odd.size(), 4u);
    EXPECT_EQ(odd[0].name, "\xEF\xBF\xBD");  // only separators: a visible replacement
    EXPECT_EQ(odd[3].name, "a/\xE2\x80\x95" "b");  // 0x81 0x5C is one character (U+2015)
}

TEST_F(Unlha, ExtendedHeaderSeeds)
{
    const std::string dir = UNLHA32_REGRESS;
    auto l2 = list(dir + "/seed-level2-ext-headers.lzh");
    ASSERT_EQ(names(l2), (std::vector<std::string>{"dir/下/ユニコード.txt", "κείμενο.txt", "Ärger.txt"}));
    EXPECT_EQ(l2[0].attr, 0x21);
    EXPECT_EQ(dosDate(l2[0].date), "2001.3.13");
    EXPECT_EQ(extract(dir + "/seed-level2-ext-headers.lzh", "ÄRGER.TXT", 100).written, 16u);  // ASCII letters fold
    auto l3 = list(dir + "/seed-level3.lzh");
    ASSERT_EQ(names(l3), (std::vector<std::string>{"deep/er/level3.txt"}));
    EXPECT_EQ(extract(dir + "/seed-level3.lzh", "deep/er/level3.txt", 100).written, 13u);
}

// ---------------------------------------------------------------------------
// Archives made by jlha at test time (skipped when jlha is missing)

TEST_F(Unlha, JlhaRoundTrip)
{
    if (!haveJlha()) {
        GTEST_SKIP() << "jlha not installed";
    }
    TempDir dir;
    fs::create_directories(dir.file("in"));
    Bytes text;
    for (int i = 0; i < 20000; ++i) {
        std::string line = "line " + std::to_string(i * 7919 % 10007) + " of the generated text\r\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    writeFile(dir.file("in/gen.txt"), text);
    writeFile(dir.file("in/NOEXT"), bytesOf("no extension\r\n"));
    for (const char* level : {"0", "1", "2"}) {
        std::string arc = dir.file(std::string("gen") + level + ".lzh");
        ASSERT_EQ(run(dir.file("in"), {"jlha", std::string("ao5") + level, arc, "gen.txt", "NOEXT"}), 0) << level;
        auto ms = list(arc);
        ASSERT_EQ(ms.size(), 2u) << level;
        std::vector<std::string> got = names(ms);
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, (std::vector<std::string>{"NOEXT", "gen.txt"})) << level;
        Extracted e = extract(arc, "gen.txt", 1u << 22);
        EXPECT_EQ(e.rc, 0) << level;
        EXPECT_TRUE(e.data == text) << level;
        Extracted n = extract(arc, "noext", 100);
        EXPECT_EQ(n.rc, 0) << level;
        EXPECT_EQ(std::string(n.data.begin(), n.data.end()), "no extension\r\n");
    }
}


// ---------------------------------------------------------------------------
// Methods, member lookup, self-extracting files, headers lhasa refuses

// Gives a level 0 or 1 member another method, keeping its checksum right.
Bytes relabel(Bytes member, const char* method)
{
    std::memcpy(member.data() + 2, method, 5);
    unsigned sum = 0;
    for (size_t i = 2; i < size_t{member[0]} + 2; ++i) {
        sum += member[i];
    }
    member[1] = static_cast<unsigned char>(sum);
    return member;
}

// A level 2 header's common extended header (type 0x00) with the header CRC.
Bytes withHeaderCrc(Bytes member)
{
    const size_t len = member[0] | (member[1] << 8);
    Bytes header(member.begin(), member.begin() + static_cast<std::ptrdiff_t>(len));
    const uint16_t crc = crc16(header);
    // The common header is the first extended header: size 5 at offset 24.
    member[27] = static_cast<unsigned char>(crc);
    member[28] = static_cast<unsigned char>(crc >> 8);
    return member;
}

TEST_F(Unlha, OnlyTheNeededMethodsAreDecodedTheOthersListAndFail)
{
    // An -lh5- member relabelled -pm2-: lhasa's -pm2- decoder must never see it.
    const std::string pm2 = std::string(UNLHA32_REGRESS) + "/lh5-relabelled-pm2.lzh";
    auto ms = list(pm2);
    ASSERT_EQ(names(ms), (std::vector<std::string>{"text.txt"}));
    EXPECT_STREQ(ms[0].info.method, "-pm2-");
    EXPECT_EQ(ms[0].size, 3957u);
    for (uint32_t size : {2000u, 500000u}) {
        Extracted e = extract(pm2, "text.txt", size);
        EXPECT_EQ(e.rc, UNLHA_ERROR_METHOD);
        EXPECT_EQ(e.written, 0u);
    }

    // Stored data that every decoder would hand out: only -lh0- gives it.
    TempDir dir;
    const Bytes data = bytesOf("stored bytes\r\n");
    const Bytes stored = level0Member(bytesOf("x.txt"), data);
    const std::vector<std::pair<const char*, int>> cases = {
        {"-lh0-", UNLHA_OK}, {"-pm0-", UNLHA_ERROR_METHOD}, {"-lhx-", UNLHA_ERROR_METHOD},
        {"-pm1-", UNLHA_ERROR_METHOD}, {"-lh9-", UNLHA_ERROR_METHOD}};
    for (const auto& [method, rc] : cases) {
        const std::string path = dir.file(std::string(method) + ".lzh");
        writeFile(path, archiveOf({relabel(stored, method), level0Member(bytesOf("next.txt"), data)}));
        auto listed = list(path);
        ASSERT_EQ(names(listed), (std::vector<std::string>{"x.txt", "next.txt"})) << method;
        EXPECT_STREQ(listed[0].info.method, method);
        Extracted e = extract(path, "x.txt", 2000);
        EXPECT_EQ(e.rc, rc) << method;
        EXPECT_EQ(e.data, rc == UNLHA_OK ? data : Bytes{}) << method;
        EXPECT_EQ(extract(path, "next.txt", 2000).data, data) << method;
    }
}

TEST_F(Unlha, AMemberIsFoundByItsExactNameBeforeTheWildcardRules)
{
    TempDir dir;
    const std::string path = dir.file("names.lzh");
    writeFile(path, archiveOf({level0Member(bytesOf("src/abc.txt"), bytesOf("abc")),
                               level0Member(bytesOf("src/a?c.txt"), bytesOf("question")),
                               level0Member(bytesOf("README"), bytesOf("upper")),
                               level0Member(bytesOf("readme"), bytesOf("lower")),
                               level0Member(bytesOf("q\"uote.txt"), bytesOf("quoted")),
                               level0Member(bytesOf("dup.txt"), bytesOf("first")),
                               level0Member(bytesOf("dup.txt"), bytesOf("second")),
                               level0Member(bytesOf("*.*"), bytesOf("stars"))}));
    auto text = [](const Extracted& e) { return std::string(e.data.begin(), e.data.end()); };
    EXPECT_EQ(text(extract(path, "src/a?c.txt", 100)), "question");
    EXPECT_EQ(text(extract(path, "readme", 100)), "lower");
    EXPECT_EQ(text(extract(path, "README", 100)), "upper");
    EXPECT_EQ(text(extract(path, "dup.txt", 100)), "first");
    EXPECT_EQ(text(extract(path, "*.*", 100)), "stars");
    // Without an exact name the wildcard rules still apply.
    EXPECT_EQ(text(extract(path, "SRC/ABC.TXT", 100)), "abc");
    EXPECT_EQ(text(extract(path, "src/a*", 100)), "abc");

    // A '"' doubled inside the quotes is one quote of the name or the path.
    const Api& a = api();
    Bytes buffer(101);
    uint32_t written = 0;
    std::string cmd = "\"" + path + "\" \"q\"\"uote.txt\"";
    EXPECT_EQ(a.extract(nullptr, cmd.c_str(), buffer.data(), 100, nullptr, nullptr, &written), 0);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + written), "quoted");
    const std::string quotedPath = dir.file("we\"ird.lzh");
    writeFile(quotedPath, readFile(path));
    cmd = "\"" + dir.file("we\"\"ird.lzh") + "\" \"readme\"";
    written = 0;
    EXPECT_EQ(a.extract(nullptr, cmd.c_str(), buffer.data(), 100, nullptr, nullptr, &written), 0);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + written), "lower");

    // Repeated names: by index in archive order, and the name must still fit.
    auto byIndex = [&](const std::string& name, const char* sw, int* rc) {
        std::string c = command(path, name) + " " + sw;
        uint32_t w = 0;
        *rc = a.extract(nullptr, c.c_str(), buffer.data(), 100, nullptr, nullptr, &w);
        return std::string(buffer.begin(), buffer.begin() + w);
    };
    int rc = -1;
    EXPECT_EQ(byIndex("dup.txt", "-i6", &rc), "second");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(byIndex("dup.txt", "-i5", &rc), "first");
    EXPECT_EQ(byIndex("dup.txt", "-i0", &rc), "");
    EXPECT_EQ(rc, UNLHA_ERROR_NOT_FOUND);
    EXPECT_EQ(byIndex("dup.txt", "-i99", &rc), "");
    EXPECT_EQ(rc, UNLHA_ERROR_NOT_FOUND);

    // The find functions follow the same rule; "*.*" still lists everything.
    EXPECT_EQ(names(list(path, "readme")), (std::vector<std::string>{"readme"}));
    EXPECT_EQ(names(list(path, "src/a?c.txt")), (std::vector<std::string>{"src/a?c.txt"}));
    EXPECT_EQ(names(list(path, "dup.txt")), (std::vector<std::string>{"dup.txt", "dup.txt"}));
    EXPECT_EQ(names(list(path, "src/A?C.TXT")), (std::vector<std::string>{"src/abc.txt", "src/a?c.txt"}));
    EXPECT_EQ(list(path, "*.*").size(), 8u);
    EXPECT_EQ(list(path, "*").size(), 8u);
}

TEST_F(Unlha, SelfExtractingFilesAreSearchedInTheFirstMebibyteForAHeaderThatProvesItself)
{
    TempDir dir;
    const Bytes archive = readFile(lzh("h1_lh5.lzh"));
    ASSERT_FALSE(archive.empty());
    auto stub = [](size_t size) {
        Bytes b(size, 0x90);
        b[0] = 'M';
        b[1] = 'Z';
        return b;
    };
    // A stray "-lh5-" with a wrong checksum and a level 2 look-alike that
    // lhasa reads but that carries no header CRC: program code, not an archive.
    Bytes stray = relabel(level0Member(bytesOf("code"), bytesOf("xxxx")), "-lh5-");
    stray[1] ^= 0x55;
    const Bytes noCrc = level2Member({{0x01, bytesOf("stray.txt")}}, bytesOf("not an archive"));

    Bytes real = stub(66532);
    std::copy(stray.begin(), stray.end(), real.begin() + 1000);
    std::copy(noCrc.begin(), noCrc.end(), real.begin() + 3000);
    real.insert(real.end(), archive.begin(), archive.end());
    const std::string sfx = dir.file("real.exe");
    writeFile(sfx, real);
    EXPECT_NE(api().check(sfx.c_str(), 0), 0);
    EXPECT_EQ(names(list(sfx)), (std::vector<std::string>{"a.txt", "big.txt", "small_sjis.txt"}));
    Extracted big = extract(sfx, "big.txt", 500000);
    EXPECT_EQ(big.rc, 0);
    EXPECT_TRUE(big.data == readFile(fixture("src/big.txt")));

    // The look-alikes alone make no archive.
    Bytes fake = stub(70000);
    std::copy(stray.begin(), stray.end(), fake.begin() + 1000);
    std::copy(noCrc.begin(), noCrc.end(), fake.begin() + 3000);
    writeFile(dir.file("fake.exe"), fake);
    EXPECT_EQ(api().check(dir.file("fake.exe").c_str(), 0), 0);
    EXPECT_TRUE(list(dir.file("fake.exe")).empty());

    // A level 2 header with its CRC counts, up to the last offset of the first MiB.
    const Bytes withCrc = withHeaderCrc(level2Member({{0x00, {0, 0}}, {0x01, bytesOf("late.txt")}}, bytesOf("late")));
    for (size_t at : {size_t{(1u << 20) - 1}, size_t{1u << 20}}) {
        Bytes late = stub(at);
        late.insert(late.end(), withCrc.begin(), withCrc.end());
        late.push_back(0);
        writeFile(dir.file("late.exe"), late);
        EXPECT_EQ(names(list(dir.file("late.exe"))),
                  at < (1u << 20) ? std::vector<std::string>{"late.txt"} : std::vector<std::string>{})
            << at;
    }
}

TEST_F(Unlha, ListingGoesOnPastHeadersLhasaRefuses)
{
    TempDir dir;
    const Bytes data = bytesOf("data\r\n");
    // Empty folders stored as -lh0- entries with a folder and no file name.
    auto amigaFolder = [](const char* name) {
        Bytes folder = bytesOf(name);
        folder.push_back(0xFF);
        return level2Member({{0x02, folder}}, {}, 'A', 0x10);
    };
    const std::string amiga = dir.file("amiga.lzh");
    writeFile(amiga, archiveOf({level2Member({{0x01, bytesOf("a.txt")}}, data, 'A'), amigaFolder("empty1"),
                                level2Member({{0x01, bytesOf("b.txt")}}, data, 'A'), amigaFolder("empty2"),
                                level2Member({{0x01, bytesOf("c.txt")}}, data, 'A')}));
    auto ms = list(amiga);
    ASSERT_EQ(names(ms), (std::vector<std::string>{"a.txt", "empty1/", "b.txt", "empty2/", "c.txt"}));
    EXPECT_EQ(ms[1].attr & UNLHA_ATTR_DIRECTORY, UNLHA_ATTR_DIRECTORY);
    EXPECT_EQ(extract(amiga, "empty1/", 100).rc, UNLHA_ERROR_NOT_FILE);
    EXPECT_TRUE(extract(amiga, "c.txt", 100).data == data);
    EXPECT_NE(api().check(amiga.c_str(), 0), 0);

    // Level 0 folder headers with empty names, even as the first entry.
    const Bytes nameless = relabel(level0Member({}, {}, 0x10), "-lhd-");
    const std::string level0 = dir.file("level0.lzh");
    writeFile(level0, archiveOf({nameless, level0Member(bytesOf("DIR\\ONE.TXT"), data), nameless,
                                 level0Member(bytesOf("DIR\\TWO.TXT"), data)}));
    EXPECT_EQ(names(list(level0)), (std::vector<std::string>{"DIR/ONE.TXT", "DIR/TWO.TXT"}));
    EXPECT_TRUE(extract(level0, "DIR/TWO.TXT", 100).data == data);

    // A header that does not hold together still ends the listing.
    Bytes broken = withHeaderCrc(level2Member({{0x00, {0, 0}}, {0x01, bytesOf("broken.txt")}}, data));
    broken[7] ^= 1;  // the compressed size, under the header CRC
    const std::string cut = dir.file("cut.lzh");
    writeFile(cut, archiveOf({level0Member(bytesOf("ok.txt"), data), broken, level0Member(bytesOf("after.txt"), data)}));
    EXPECT_EQ(names(list(cut)), (std::vector<std::string>{"ok.txt"}));
}

}  // namespace
