#include "CommandLine.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {
using Files = std::vector<CString>;

TEST(CommandLine, ArchivePathQuotedOrUpToTheFirstBlank)
{
    CommandLine quoted = parseCommandLine("  \"C:\\My Files\\a b.zip\"  ");
    EXPECT_TRUE(quoted.archivePathGiven);
    EXPECT_EQ(quoted.archivePath, "C:\\My Files\\a b.zip");
    EXPECT_FALSE(quoted.hidden);
    EXPECT_TRUE(quoted.files.empty());

    // Unquoted, the path ends at the blank and the rest is looked at for "-a".
    CommandLine cut = parseCommandLine("C:\\My Files\\a.zip");
    EXPECT_EQ(cut.archivePath, "C:\\My");
    EXPECT_TRUE(cut.files.empty());
    CommandLine cutWithFiles = parseCommandLine("C:\\x.zip -a\"C:\\f 1.txt\" ");
    EXPECT_EQ(cutWithFiles.archivePath, "C:\\x.zip");
    EXPECT_EQ(cutWithFiles.files, Files{"C:\\f 1.txt"});

    // Without its closing quote the whole line is dropped.
    CommandLine unterminated = parseCommandLine("\"C:\\a.zip -a\"C:\\f.txt\"");
    EXPECT_EQ(unterminated.archivePath, "C:\\a.zip -a");
    CommandLine lost = parseCommandLine("\"C:\\a.zip");
    EXPECT_FALSE(lost.archivePathGiven);
    EXPECT_TRUE(lost.files.empty());
}

TEST(CommandLine, FileListAfterTheAddSwitch)
{
    // The shell extension's own form: the character after "-a" opens the first name.
    CommandLine pick = parseCommandLine("-a\"C:\\one.txt\" \"C:\\two words.txt\" ");
    EXPECT_FALSE(pick.archivePathGiven);
    EXPECT_EQ(pick.files, (Files{"C:\\one.txt", "C:\\two words.txt"}));

    // Text between names is skipped up to the next quote.
    EXPECT_EQ(parseCommandLine("-a\"a\" junk \"b\"").files, (Files{"a", "b"}));

    // A blank after "-a" is taken as the first opening quote.
    EXPECT_EQ(parseCommandLine("-a \"C:\\one.txt\" \"C:\\two.txt\"").files, (Files{"", " "}));

    // An unterminated name ends the list; earlier names stay.
    EXPECT_EQ(parseCommandLine("-a\"a\" \"b\" \"c").files, (Files{"a", "b"}));
    EXPECT_TRUE(parseCommandLine("-a").files.empty());
}

// The Explorer extension's form, which no command-line length limits.
TEST(CommandLine, ListFileAfterItsSwitchIsReadAndRemovedFromTheTemporaryFolder)
{
    const std::string list = os::tempFolder() + "PrkTest.tmp";
    CommandLine line = parseCommandLine("-h \"C:\\out\\new.zip\" -l \"" + list + "\"");
    EXPECT_TRUE(line.hidden);
    EXPECT_EQ(line.archivePath, "C:\\out\\new.zip");
    EXPECT_EQ(line.listFile, list);
    testing_support::writeBytes(list, "C:\\a b.txt\r\n\r\nZ:\\报告 🎵.txt\r\n");
    CString failure;
    ASSERT_TRUE(takeListFile(line, failure)) << failure;
    EXPECT_EQ(line.files, (Files{"C:\\a b.txt", "Z:\\报告 🎵.txt"}));
    EXPECT_EQ(os::fileAttributes(list), os::kNoAttributes);

    // A list elsewhere is the user's own: read, and kept.
    const std::string own = testing_support::scratchFolder() + "own.txt";
    testing_support::writeBytes(own, "C:\\x.txt\n");
    CommandLine picked = parseCommandLine("-l \"" + own + "\"");
    EXPECT_FALSE(picked.archivePathGiven);
    ASSERT_TRUE(takeListFile(picked, failure)) << failure;
    EXPECT_EQ(picked.files, Files{"C:\\x.txt"});
    EXPECT_NE(os::fileAttributes(own), os::kNoAttributes);

    CommandLine missing = parseCommandLine("-l \"" + list + "\"");
    EXPECT_FALSE(takeListFile(missing, failure));
    EXPECT_EQ(failure, "Cannot read the list of files to add " + list);
}

TEST(CommandLine, HiddenModeWithArchiveAndFiles)
{
    CommandLine line = parseCommandLine("-h \"C:\\out\\new.zip\" -a\"C:\\in\\a.txt\" \"C:\\in\\b.txt\" ");
    EXPECT_TRUE(line.hidden);
    EXPECT_FALSE(line.uninstall);
    EXPECT_EQ(line.archivePath, "C:\\out\\new.zip");
    EXPECT_EQ(line.files, (Files{"C:\\in\\a.txt", "C:\\in\\b.txt"}));

    CommandLine glued = parseCommandLine("-h\"C:\\x.zip\"-a\"f\"");
    EXPECT_TRUE(glued.hidden);
    EXPECT_EQ(glued.archivePath, "C:\\x.zip");
    EXPECT_EQ(glued.files, Files{"f"});
}

TEST(CommandLine, SwitchesAreCaseSensitive)
{
    CommandLine upperHidden = parseCommandLine("-H \"C:\\x.zip\"");
    EXPECT_FALSE(upperHidden.hidden);
    EXPECT_EQ(upperHidden.archivePath, "-H");

    CommandLine upperAdd = parseCommandLine("-A\"C:\\f.txt\"");
    EXPECT_TRUE(upperAdd.files.empty());
    EXPECT_EQ(upperAdd.archivePath, "-A\"C:\\f.txt\"");

    EXPECT_TRUE(parseCommandLine("  -U").uninstall);
    CommandLine lowerU = parseCommandLine("-u");
    EXPECT_FALSE(lowerU.uninstall);
    EXPECT_EQ(lowerU.archivePath, "-u");
    // Only the first two characters decide.
    EXPECT_TRUE(parseCommandLine("-Uninstall now").uninstall);
    EXPECT_TRUE(parseCommandLine("-hidden").hidden);
}
} // namespace
