// Damaged archives must give a message from the engine's table (or "no
// archive"), never a crash or a read outside a buffer; the sanitizer build
// runs the same cases.
#include "TestSupport.h"
#include "ZipBytes.h"

#include <gtest/gtest.h>

#include <random>

using namespace testing_support;

namespace {
const char* const kKnownMessages[] = {
    "Bad zip file",
    "Corrupt zip file",
    "Currupt zip file ",
    "Error while trying to find data",
    "Extraction library error",
    "Corrupt zip file found when trying to read local header : ",
    "Corrupt zip file found when exstacting ",
    "Encryption problem ",
    "Password not set for file",
    "Unable to open file ",
    "Couldn't open the zip information start disk",
};

bool isKnownMessage(const std::string& message)
{
    for (const char* known : kKnownMessages)
        if (message.rfind(known, 0) == 0)
            return true;
    return false;
}

// Opens the bytes and reads every entry; returns the messages that came up.
std::vector<std::string> exercise(const std::string& path, const std::string& bytes)
{
    writeBytes(path, bytes);
    std::vector<std::string> messages;
    ScriptedCallBack callback;
    callback.passwordToGive = "secret";
    CZipFile archive(&callback);
    try {
        if (!archive.openZipFile(path))
            return messages;
    } catch (const CZipException& error) {
        messages.push_back(error.getMessage());
        return messages;
    }
    for (int i = 0; i < archive.getFileCount(); ++i) {
        try {
            readEntry(archive, i);
        } catch (const CZipException& error) {
            archive.closeFile(i);
            messages.push_back(error.getMessage());
        }
    }
    return messages;
}

void expectOnlyKnownMessages(const std::string& path, const std::string& bytes, const std::string& what)
{
    for (const std::string& message : exercise(path, bytes))
        EXPECT_TRUE(isKnownMessage(message)) << what << ": " << message;
}

uint32_t directoryOffset(const std::string& bytes)
{
    return zipbytes::get32(bytes.data() + endRecordOffset(bytes) + 16);
}
}

class TruncatedSample : public ::testing::TestWithParam<const char*> {};

TEST_P(TruncatedSample, EveryCutGivesAKnownMessage)
{
    const std::string bytes = readBytes(testdata(GetParam()));
    const std::string path = scratchFolder() + "cut.zip";
    const size_t step = std::max<size_t>(1, bytes.size() / 97);
    for (size_t length = 0; length < bytes.size(); length += step)
        expectOnlyKnownMessages(path, bytes.substr(0, length), "cut at " + std::to_string(length));
    for (size_t tail = 1; tail < 60 && tail < bytes.size(); ++tail)
        expectOnlyKnownMessages(path, bytes.substr(0, bytes.size() - tail), "without the last " + std::to_string(tail));
}

TEST_P(TruncatedSample, FlippedBytesGiveAKnownMessage)
{
    const std::string original = readBytes(testdata(GetParam()));
    const std::string path = scratchFolder() + "flipped.zip";
    std::mt19937 random(12345);
    for (int round = 0; round < 150; ++round) {
        std::string bytes = original;
        for (int flips = 0; flips < 4; ++flips)
            bytes[random() % bytes.size()] = static_cast<char>(random());
        expectOnlyKnownMessages(path, bytes, "round " + std::to_string(round));
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, TruncatedSample,
                         ::testing::Values("infozip_recursive.zip", "sevenzip_encrypted.zip", "python_names.zip",
                                           "infozip_stored.zip"));

TEST(Damaged, RandomBytesAreNoArchiveOrAKnownMessage)
{
    std::mt19937 random(99);
    const std::string path = scratchFolder() + "random.zip";
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 3000, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        if (round % 2)
            bytes += std::string("PK\x05\x06", 4) + bytes.substr(0, std::min<size_t>(bytes.size(), 18 + round % 7));
        expectOnlyKnownMessages(path, bytes, "round " + std::to_string(round));
    }
}

TEST(Damaged, EndRecordCutShortIsNoArchive)
{
    const std::string bytes = buildZip({{"a.txt", "abc"}});
    const std::string path = scratchFolder() + "short.zip";
    for (size_t cut = 1; cut < 22; ++cut) {
        writeBytes(path, bytes.substr(0, bytes.size() - cut));
        ScriptedCallBack callback;
        CZipFile archive(&callback);
        EXPECT_FALSE(archive.openZipFile(path)) << cut;
    }
}

TEST(Damaged, LyingRecordLengths)
{
    const std::string good = buildZip({{"a.txt", "abc"}, {"b.txt", "defg"}});
    const size_t record = directoryOffset(good);
    const struct {
        const char* what;
        size_t at;
        std::string value;
        const char* message;
    } cases[] = {
        {"name length past the end", record + 28, std::string("\xFF\xFF", 2), "Currupt zip file "},
        {"extra length past the end", record + 30, std::string("\xFF\xFF", 2), "Corrupt zip file "},
        {"comment length past the end", record + 32, std::string("\xFF\xFF", 2), "Bad zip file"},
    };
    for (const auto& c : cases) {
        std::string bytes = good;
        bytes.replace(c.at, c.value.size(), c.value);
        const auto messages = exercise(scratchFolder() + "lying.zip", bytes);
        ASSERT_EQ(messages.size(), 1u) << c.what;
        EXPECT_EQ(messages[0].rfind(c.message, 0), 0u) << c.what << ": " << messages[0];
    }
}

TEST(Damaged, EntrySizesThatLie)
{
    const std::string good = buildZip({{"a.txt", "abcdef"}});
    const size_t record = directoryOffset(good);
    const struct {
        const char* what;
        size_t at;
        std::string value;
    } cases[] = {
        {"larger uncompressed size", record + 24, std::string("\x10\x00\x00\x00", 4)},
        {"wrong crc", record + 16, std::string("\x01\x02\x03\x04", 4)},
        {"stored data shorter than promised", record + 20, std::string("\x03\x00\x00\x00", 4)},
    };
    for (const auto& c : cases) {
        std::string bytes = good;
        bytes.replace(c.at, c.value.size(), c.value);
        bytes.replace(c.at - record - 2, c.value.size(), c.value);  // the local header at 0 says the same
        const auto messages = exercise(scratchFolder() + "sizes.zip", bytes);
        ASSERT_EQ(messages.size(), 1u) << c.what;
        EXPECT_EQ(messages[0], "Corrupt zip file found when exstacting a.txt") << c.what;
    }
}
