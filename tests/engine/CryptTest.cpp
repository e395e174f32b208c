// Traditional encryption: keys, header check and password prompts.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <zlib.h>

using namespace testing_support;

namespace {
std::string addEncrypted(const std::string& folder, const std::string& password,
                         const std::vector<std::pair<std::string, std::string>>& files)
{
    std::vector<CString> paths;
    for (const auto& file : files) {
        writeBytes(folder + file.first, file.second);
        paths.push_back(folder + file.first);
    }
    const std::string path = folder + "secret.zip";
    ScriptedCallBack callback;
    callback.passwordForAdding = password;
    CZipFile archive(&callback);
    EXPECT_TRUE(archive.createNewZip(path));
    EXPECT_TRUE(archive.addNewFiles(paths, 0, false, false));
    return path;
}

std::string messageOfFirstRead(const std::string& path, ScriptedCallBack& callback)
{
    CZipFile archive(&callback);
    EXPECT_TRUE(archive.openZipFile(path));
    try {
        readEntry(archive, 0);
    } catch (const CZipException& error) {
        return error.getMessage();
    }
    return "read";
}
}

TEST(Encryption, KeyScheduleUsesTheStandardCrcTable)
{
    const std::string text = "123456789";
    uint32_t crc = 0xFFFFFFFF;
    for (char c : text)
        crc = ZipFileTestAccess::cryptCrc32(crc, c);
    EXPECT_EQ(crc ^ 0xFFFFFFFF, 0xCBF43926u);
}

TEST(Encryption, WhatWeEncryptReadsBackWithThePassword)
{
    const std::string folder = scratchFolder();
    const std::string big(300000, 'z');
    const std::string path = addEncrypted(folder, "pa ss", {{"one.txt", "first file"}, {"big.txt", big}, {"zero.txt", ""}});
    ScriptedCallBack callback;
    callback.passwordToGive = "pa ss";
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(archive.getFileHeader(i)->flags & 9, 9) << "encrypted, and checked against the time";
        EXPECT_GE(archive.getCompressedSize(i), 12u);
    }
    EXPECT_EQ(readEntry(archive, indexOf(archive, "one.txt")), "first file");
    EXPECT_EQ(readEntry(archive, indexOf(archive, "big.txt")), big);
    EXPECT_EQ(readEntry(archive, indexOf(archive, "zero.txt")), "");
    EXPECT_EQ(callback.passwordPrompts, 1) << "asked once, used for every entry";
}

TEST(Encryption, WrongPasswordIsRefusedAtOpen)
{
    const std::string folder = scratchFolder();
    const std::string path = addEncrypted(folder, "right", {{"a.txt", std::string(1000, 'a')}});
    int headerRefusals = 0;
    // About one wrong password in 256 passes the one-byte check; the CRC then catches it.
    for (const char* wrong : {"wrong", "Right", "righ", "right ", "x"}) {
        ScriptedCallBack callback;
        callback.passwordToGive = wrong;
        const std::string message = messageOfFirstRead(path, callback);
        if (message == "Encryption problem a.txt")
            ++headerRefusals;
        else
            EXPECT_TRUE(message == "Corrupt zip file found when exstacting a.txt"
                        || message == "Extraction library error")
                << wrong << ": " << message;
    }
    EXPECT_GE(headerRefusals, 3);
}

TEST(Encryption, DeclinedPromptStopsBeforeAnyData)
{
    const std::string path = addEncrypted(scratchFolder(), "pw", {{"a.txt", "abc"}});
    ScriptedCallBack callback;
    EXPECT_EQ(messageOfFirstRead(path, callback), "Password not set for file");
    EXPECT_EQ(callback.passwordPrompts, 1);
}

TEST(Encryption, PeerArchivesDecryptAndTheirCheckByteIsTheRightOne)
{
    for (const char* sample : {"infozip_encrypted.zip", "sevenzip_encrypted.zip"}) {
        ScriptedCallBack callback;
        callback.passwordToGive = "secret";
        CZipFile archive(&callback);
        ASSERT_TRUE(archive.openZipFile(testdata(sample)));
        const int readme = indexOf(archive, "readme.txt");
        ASSERT_GE(readme, 0) << sample;
        EXPECT_EQ(readEntry(archive, readme), "Packrook sample archive.\n") << sample;
    }
}

TEST(Encryption, EmptyPasswordForAddingMeansPlainEntries)
{
    const std::string path = addEncrypted(scratchFolder(), "", {{"a.txt", "plain"}});
    ScriptedCallBack callback;
    CZipFile archive(&callback);
    ASSERT_TRUE(archive.openZipFile(path));
    EXPECT_EQ(archive.getFileHeader(0)->flags, 0);
    EXPECT_EQ(readEntry(archive, 0), "plain");
    EXPECT_EQ(callback.passwordPrompts, 0);
}
