// The menu texts and manager command lines, character for character.
#include "CommandText.h"

#include <gtest/gtest.h>

using namespace commandtext;

TEST(CommandText, NamesComeFromTheLeadPath)
{
    EXPECT_EQ(".zip", extensionOf("C:\\Docs\\Old.ZIP"));
    EXPECT_EQ("Old", baseNameOf("C:\\Docs\\Old.ZIP"));
    EXPECT_EQ("", extensionOf("C:\\Data"));
    EXPECT_EQ("Data", baseNameOf("C:\\Data"));
    EXPECT_EQ(".2\\notes", extensionOf("C:\\Rel.2\\notes"));
    EXPECT_EQ("Rel", baseNameOf("C:\\Rel.2\\notes"));
    EXPECT_EQ("plain", baseNameOf("plain"));
    EXPECT_EQ("Add to \"Rel.zip\"", itemText(addToNamedArchive, "C:\\Rel.2\\notes"));
    EXPECT_EQ("Zip and Email \"Report.zip\"", itemText(zipAndEmail, "C:\\Docs\\Report.txt"));
}

TEST(CommandText, ParametersForEachCommand)
{
    const Selection two{"C:\\A\\two.txt", "C:\\A\\one.txt"};
    EXPECT_EQ("-h \"C:\\A\\two.zip\" -a\"C:\\A\\two.txt\" \"C:\\A\\one.txt\" ", parameters(1, two, ""));
    EXPECT_EQ("-h \"C:\\Data.zip\" -a\"C:\\Data\" ", parameters(1, {"C:\\Data"}, ""));
    EXPECT_EQ("\"C:\\A\\two.txt\"", parameters(2, two, ""));
    EXPECT_EQ("-a\"C:\\x.txt\" ", parameters(0, {"C:\\x.txt"}, ""));
    EXPECT_EQ("-a\"C:\\x.txt\" ", parameters(3, {"C:\\x.txt"}, ""));
    EXPECT_EQ("-h \"T:\\two.zip\" -a\"C:\\A\\two.txt\" \"C:\\A\\one.txt\" ", parameters(4, two, "T:\\two.zip"));
}

TEST(CommandText, MailArchiveStaysInTheTemporaryFolder)
{
    EXPECT_EQ("C:\\Temp\\Report.zip", mailArchivePath("C:\\Temp", "C:\\Docs\\Report.txt"));
    EXPECT_EQ("C:\\Temp\\Data.zip", mailArchivePath("C:\\Temp\\", "C:\\Data"));
    EXPECT_EQ("C:\\Users\\john.doe\\Temp\\Makefile.zip", mailArchivePath("C:\\Users\\john.doe\\Temp\\", "C:\\src\\Makefile"));
}
