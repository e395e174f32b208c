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
    // A dot in a folder's name is no extension.
    EXPECT_EQ("", extensionOf("C:\\Rel.2\\notes"));
    EXPECT_EQ("notes", baseNameOf("C:\\Rel.2\\notes"));
    EXPECT_EQ("plain", baseNameOf("plain"));
    EXPECT_EQ("Add to \"Photos.zip\"", itemText(addToNamedArchive, "C:\\Users\\john.doe\\Photos"));
    EXPECT_EQ("Zip and Email \"Report.zip\"", itemText(zipAndEmail, "C:\\Docs\\Report.txt"));
}

TEST(CommandText, ParametersForEachCommand)
{
    const Selection two{"C:\\A\\two.txt", "C:\\A\\one.txt"};
    const std::string list = "T:\\Prk1.tmp";
    EXPECT_EQ("-h \"C:\\A\\two.zip\" -l \"T:\\Prk1.tmp\"", parameters(1, two, "", list));
    EXPECT_EQ("-h \"C:\\Data.zip\" -l \"T:\\Prk1.tmp\"", parameters(1, {"C:\\Data"}, "", list));
    EXPECT_EQ("-h \"C:\\john.doe\\notes.zip\" -l \"T:\\Prk1.tmp\"", parameters(1, {"C:\\john.doe\\notes"}, "", list));
    EXPECT_EQ("\"C:\\A\\two.txt\"", parameters(2, two, "", ""));
    EXPECT_EQ("-l \"T:\\Prk1.tmp\"", parameters(0, two, "", list));
    EXPECT_EQ("-l \"T:\\Prk1.tmp\"", parameters(3, two, "", list));
    EXPECT_EQ("-h \"T:\\two.zip\" -l \"T:\\Prk1.tmp\"", parameters(4, two, "T:\\two.zip", list));
    EXPECT_EQ("C:\\A\\two.txt\r\nC:\\A\\one.txt\r\n", listText(two));
}

TEST(CommandText, MailArchiveStaysInTheTemporaryFolder)
{
    EXPECT_EQ("C:\\Temp\\Report.zip", mailArchivePath("C:\\Temp", "C:\\Docs\\Report.txt"));
    EXPECT_EQ("C:\\Temp\\Data.zip", mailArchivePath("C:\\Temp\\", "C:\\Data"));
    EXPECT_EQ("C:\\Users\\john.doe\\Temp\\Makefile.zip", mailArchivePath("C:\\Users\\john.doe\\Temp\\", "C:\\src\\Makefile"));
}
