// The tar and gzip readers behind CZipFile: hand-made tar files for the
// header rules, gzip files made with zlib.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>

using namespace testing_support;

namespace {
std::string tarHeader(const std::string& name, const std::string& sizeField, char type = '0')
{
    std::string block(512, '\0');
    block.replace(0, name.size(), name);
    block.replace(124, sizeField.size(), sizeField);
    block[156] = type;
    block.replace(257, 6, std::string("ustar\0", 6));
    return block;
}

std::string octal(size_t size)
{
    char field[12];
    std::snprintf(field, sizeof field, "%011o", static_cast<unsigned>(size));
    return field;
}

std::string member(const std::string& name, const std::string& data, char type = '0')
{
    std::string padded = data + std::string((512 - data.size() % 512) % 512, '\0');
    return tarHeader(name, octal(data.size()), type) + padded;
}

const std::string kEndBlocks(1024, '\0');

std::string gzipFile(const std::string& path, const std::string& content)
{
    gzFile out = gzopen(path.c_str(), "wb");
    gzwrite(out, content.data(), static_cast<unsigned>(content.size()));
    gzclose(out);
    return readBytes(path);
}
}

TEST(TarReader, NamesSizesAndDataOfMembers)
{
    const std::string readme(1000, 'r');
    const std::string path = scratchFolder() + "docs.tar";
    writeBytes(path, member("docs/readme.txt", readme) + member("docs/empty.txt", "") + member("docs/sub", "", '5')
                         + member("a\\b.txt", "windows") + kEndBlocks);
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(archive.getFileCount(), 4) << "an empty member does not end the listing";
    EXPECT_EQ(archive.getFileName(0), "readme.txt");
    EXPECT_EQ(archive.getPath(0), "docs/");
    EXPECT_EQ(archive.getUncompressedSize(0), 1000u);
    EXPECT_EQ(archive.getCompressedSize(0), 1000u);
    EXPECT_EQ(archive.getAttributes(0), "");
    EXPECT_EQ(archive.getCRC(0), 0u);
    EXPECT_EQ(archive.getFileName(2), "") << "a folder member lists like a zip folder entry";
    EXPECT_EQ(archive.getPath(2), "docs/sub/");
    EXPECT_EQ(archive.getFileName(3), "b.txt");
    EXPECT_EQ(archive.getPath(3), "a\\");

    std::string buffer(1000000, '\0');
    archive.openFile(0);
    EXPECT_EQ(archive.getCurrentOpenFileFileName(), "readme.txt");
    EXPECT_EQ(archive.readFile(&buffer[0], 1000000), 1000u);
    EXPECT_EQ(buffer.substr(0, 1000), readme);
    EXPECT_EQ(archive.readFile(&buffer[0], 1000000), 0u);
    archive.closeFile(0);
    EXPECT_EQ(archive.getCurrentOpenFilePath(), "");
    EXPECT_EQ(readEntry(archive, 3), "windows");
    EXPECT_EQ(readEntry(archive, 1), "");
}

TEST(TarReader, SizeFieldsEndTheirScanAtAZeroByteAndSkipBlanks)
{
    const std::string path = scratchFolder() + "size.tar";
    writeBytes(path, tarHeader("n.txt", std::string("00000001750 \0", 13).substr(0, 12)) + std::string(1024, 'x')
                         + tarHeader("m.txt", std::string(" 12\0 777", 8)) + std::string(512, 'y') + kEndBlocks);
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(archive.getFileCount(), 2);
    EXPECT_EQ(archive.getUncompressedSize(0), 1000u);
    EXPECT_EQ(archive.getUncompressedSize(1), 10u);
}

TEST(TarReader, LongNamesComeFromTheirHelperMembers)
{
    const std::string longName = std::string(120, 'd') + "/file.txt";
    std::string prefixed = tarHeader("short.txt", octal(2));
    prefixed.replace(345, 6, "prefix");
    const std::string pax = "29 path=pax/named/member.txt\n";
    const std::string path = scratchFolder() + "long.tar";
    writeBytes(path, member("././@LongLink", longName + '\0', 'L') + member("cut", "gnu")
                         + prefixed + std::string(512, 'p') + member("PaxHeaders/x", pax, 'x') + member("cut2", "pax")
                         + member("global", "9 a=b\n", 'g') + kEndBlocks);
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(archive.getFileCount(), 3);
    EXPECT_EQ(archive.getPath(0) + archive.getFileName(0), longName);
    EXPECT_EQ(archive.getPath(1) + archive.getFileName(1), "prefix/short.txt");
    EXPECT_EQ(archive.getPath(2) + archive.getFileName(2), "pax/named/member.txt");
    EXPECT_EQ(readEntry(archive, 0), "gnu");
    EXPECT_EQ(readEntry(archive, 2), "pax");
}

TEST(TarReader, EndsAtAZeroBlockOrACutHeaderAndReportsCutData)
{
    const std::string folder = scratchFolder();
    ScriptedCallBack callback;
    CZipFile zeros(&callback);
    writeBytes(folder + "zeros.tar", kEndBlocks + member("after.txt", "x"));
    ASSERT_TRUE(zeros.openZipFile(folder + "zeros.tar"));
    EXPECT_EQ(zeros.getFileCount(), 0);

    CZipFile cut(&callback);
    const std::string whole = member("a.txt", std::string(2000, 'a')) + member("b.txt", "b");
    writeBytes(folder + "cut.tar", whole.substr(0, 512 + 1500));
    ASSERT_TRUE(cut.openZipFile(folder + "cut.tar"));
    ASSERT_EQ(cut.getFileCount(), 1) << "the cut member is listed, and nothing after it";
    EXPECT_EQ(messageOf([&] { readEntry(cut, 0); }), "Corrupt zip file found when exstacting a.txt");

    CZipFile missing(&callback);
    try {
        missing.openZipFile(folder + "missing.tar");
        ADD_FAILURE() << "a missing tar file opened";
    } catch (const CZipLastErrorException& error) {
        EXPECT_EQ(error.getMessage().rfind("Couldn't open file " + folder + "missing.tar\r\n\r\n", 0), 0u);
    }
}

// A size just under 4 GiB once wrapped a 32-bit position back to the same
// header, which was then listed again for ever.
TEST(TarReader, SizesPastTheEndOrNoNumberEndTheScan)
{
    const std::string folder = scratchFolder();
    ScriptedCallBack callback;
    const struct {
        std::string sizeField;
        long listed;
    } cases[] = {
        {"37777777000", 2},
        {"12345678901", 1},
        {"-0000000001", 1},
        {std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 12), 1},
        {std::string("\x80\0\0\0\0\0\0\0\0\0\x04\0", 12), 3},
    };
    for (const auto& c : cases) {
        writeBytes(folder + "x.tar", member("before.txt", "b") + tarHeader("x", c.sizeField) + std::string(1024, 'x')
                                         + member("after.txt", "a") + kEndBlocks);
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(folder + "x.tar"));
        EXPECT_EQ(archive.getFileCount(), c.listed) << c.sizeField;
        EXPECT_EQ(readEntry(archive, 0), "b");
    }
}

// A length that is negative, or shorter than its own record, once sent the
// record walk back to the start for ever, or crawling through the header a
// byte at a time, copying the rest of it at every step. Records from the
// first impossible one on are ignored.
TEST(TarReader, PaxRecordsWithImpossibleLengthsAreIgnored)
{
    const std::string folder = scratchFolder();
    ScriptedCallBack callback;
    std::string shortRecords;
    for (int i = 0; i < 400000; ++i)
        shortRecords += "1 ";
    for (const std::string& records : {shortRecords + "16 path=late.txt\n", std::string("6 a=b\n-6 x\n")}) {
        writeBytes(folder + "pax.tar", member("PaxHeaders/x", records, 'x') + member("plain.txt", "p") + kEndBlocks);
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(folder + "pax.tar"));
        ASSERT_EQ(archive.getFileCount(), 1);
        EXPECT_EQ(archive.getFileName(0), "plain.txt");
    }
}

// Member 65,536 once opened as member 0 through a 16-bit index.
TEST(TarReader, EveryListedMemberOpensByItsIndex)
{
    const std::string path = scratchFolder() + "many.tar";
    std::string tar = member("first.txt", "first");
    for (int i = 1; i < 0x10000; ++i)
        tar += tarHeader("empty", octal(0));
    writeBytes(path, tar + member("last.txt", "last") + kEndBlocks);
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    ASSERT_EQ(archive.getFileCount(), 0x10001);
    EXPECT_EQ(readEntry(archive, 0x10000), "last");
}

TEST(GzipReader, OneMemberNamedAfterTheFileWithTheRealSizes)
{
    const std::string folder = scratchFolder();
    const std::string content(300000, 'z');
    const std::string packed = gzipFile(folder + "report.txt.gz", content);
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(folder + "report.txt.gz"));
    ASSERT_EQ(archive.getFileCount(), 1);
    EXPECT_EQ(archive.getFileName(0), "report.txt");
    EXPECT_EQ(archive.getPath(0), folder);
    EXPECT_EQ(archive.getCompressedSize(0), packed.size());
    EXPECT_EQ(archive.getUncompressedSize(0), content.size());
    EXPECT_EQ(readEntry(archive, 0), content);
    EXPECT_EQ(readEntry(archive, 0), "") << "the member reads once per open";

    for (const auto& name : {std::make_pair("backup.tgz", "backup"), std::make_pair(".gz", "")}) {
        gzipFile(folder + name.first, "x");
        CZipFile other(&callback);
        ASSERT_TRUE(other.openZipFile(folder + name.first));
        EXPECT_EQ(other.getFileName(0), name.second);
    }
}

TEST(GzipReader, PlainDataReadsThroughAndDamageOrAbsenceIsReported)
{
    const std::string folder = scratchFolder();
    ScriptedCallBack callback;
    const std::string plain = "not compressed at all\n";
    writeBytes(folder + "plain.gz", plain);
    CZipFile through(&callback);
    ASSERT_TRUE(through.openZipFile(folder + "plain.gz"));
    EXPECT_EQ(through.getUncompressedSize(0), plain.size());
    EXPECT_EQ(readEntry(through, 0), plain);

    std::string packed = gzipFile(folder + "damaged.gz", std::string(100000, 'q'));
    packed[packed.size() - 6] ^= 0x55;  // the trailer's CRC
    writeBytes(folder + "damaged.gz", packed);
    CZipFile damaged(&callback);
    ASSERT_TRUE(damaged.openZipFile(folder + "damaged.gz"));
    EXPECT_THROW(readEntry(damaged, 0), CZipException);

    writeBytes(folder + "cut.gz", packed.substr(0, packed.size() / 2));
    CZipFile cut(&callback);
    ASSERT_TRUE(cut.openZipFile(folder + "cut.gz"));
    EXPECT_THROW(readEntry(cut, 0), CZipException);

    CZipFile missing(&callback);
    EXPECT_FALSE(missing.openZipFile(folder + "missing.gz"));
}
