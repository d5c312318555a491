// The URL layer and the file protocol, on real files in a temporary folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ReadOracle.h"
#include "TempDir.h"
#include "container/avio.h"
#include "container/error.h"

using namespace container;
using containertest::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

struct NameCase {
    const char* prefix;  // put before the absolute path of an existing file
    int expected;
};

class ProtocolPrefix : public ::testing::TestWithParam<NameCase> {};

TEST_P(ProtocolPrefix, ChoosesTheFileProtocolOrFails) {
    TempDir dir;
    std::string path = dir.file("a.bin");
    writeFile(path, "0123456789");
    URLContext* h = nullptr;
    std::string name = std::string(GetParam().prefix) + path;
    int r = url_open(&h, name.c_str(), URL_RDONLY);
    EXPECT_EQ(r, GetParam().expected) << name;
    if (r == 0) {
        ASSERT_NE(h, nullptr);
        EXPECT_STREQ(h->prot->name, "file");
        EXPECT_EQ(h->is_streamed, 0);
        EXPECT_STREQ(h->filename, name.c_str());
    } else {
        EXPECT_EQ(h, nullptr);
    }
    url_close(h);
}

INSTANTIATE_TEST_SUITE_P(Names, ProtocolPrefix,
                         ::testing::Values(NameCase{"", 0}, NameCase{"file:", 0},
                                           NameCase{"abc:", AVERROR_NOENT},
                                           NameCase{"pipe:", AVERROR_NOENT}));

TEST(Url, BareAndDriveLetterNamesReachTheFileProtocol) {
    TempDir dir;
    writeFile(dir.file("c:clip.avi"), "x");
    writeFile(dir.file("bare.avi"), "x");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    URLContext* h = nullptr;
    EXPECT_EQ(url_open(&h, "bare.avi", URL_RDONLY), 0);
    url_close(h);
    EXPECT_EQ(url_open(&h, "c:clip.avi", URL_RDONLY), 0);  // one letter and a colon: a drive
    url_close(h);
    EXPECT_EQ(url_exist("bare.avi"), 1);
    EXPECT_EQ(url_exist("missing.avi"), 0);
    ASSERT_EQ(chdir(cwd), 0);
}

TEST(Url, WriteCreatesWithModeAndTruncates) {
    TempDir dir;
    std::string path = dir.file("out.bin");
    writeFile(path, "old contents that are long");
    mode_t old = umask(022);
    URLContext* h = nullptr;
    ASSERT_EQ(url_open(&h, path.c_str(), URL_WRONLY), 0);
    unsigned char data[] = "new";
    EXPECT_EQ(url_write(h, data, 3), 3);
    EXPECT_EQ(url_read(h, data, 3), AVERROR_IO);
    EXPECT_EQ(url_close(h), 0);
    umask(old);
    EXPECT_EQ(readFile(path), "new");
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);

    std::string fresh = dir.file("fresh.bin");
    ASSERT_EQ(url_open(&h, fresh.c_str(), URL_RDWR), 0);
    EXPECT_EQ(url_write(h, data, 3), 3);
    url_close(h);
    EXPECT_EQ(readFile(fresh), "new");
}

TEST(Url, ReadOnlyRefusesWritesAndReportsSize) {
    TempDir dir;
    std::string path = dir.file("k.bin");
    writeFile(path, std::string(1000, 'k'));
    URLContext* h = nullptr;
    ASSERT_EQ(url_open(&h, path.c_str(), URL_RDONLY), 0);
    EXPECT_TRUE(fcntl(static_cast<int>(h->priv_data), F_GETFD) & FD_CLOEXEC) << "not inherited";
    unsigned char buf[10] = {};
    EXPECT_EQ(url_write(h, buf, 10), AVERROR_IO);
    EXPECT_EQ(url_seek(h, 123, 0), 123);
    EXPECT_EQ(url_filesize(h), 1000);
    EXPECT_EQ(url_seek(h, 0, 1), 123);
    EXPECT_EQ(url_read(h, buf, 10), 10);
    char name[8];
    url_get_filename(h, name, sizeof name);
    EXPECT_EQ(std::string(name), path.substr(0, 7));
    url_close(h);
    EXPECT_EQ(url_open(&h, dir.file("missing").c_str(), URL_RDONLY), AVERROR_NOENT);
    EXPECT_EQ(url_open(&h, (dir.path() + "/no/such/dir/x").c_str(), URL_WRONLY), AVERROR_NOENT);
}

}  // namespace
