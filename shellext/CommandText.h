#pragma once
// The texts of the context menu and the command lines it hands the manager,
// all derived from the selection list (its first element is the lead path).
// Paths and texts are UTF-8: the extension lives in the Explorer, whose code
// page is not ours to choose, and speaks to the system in UTF-16.
#include <string>
#include <vector>

namespace commandtext {

// Command numbers, counted from the first identifier the Explorer gives.
enum Offset : unsigned {
    addToPickedArchive = 0,
    addToNamedArchive = 1,
    openArchive = 2,
    zipAndEmail = 4,
};

using Selection = std::vector<std::string>;

// From the last "." of the whole path on, lower-cased; empty without a ".".
std::string extensionOf(const std::string& path);
// Without the extension and without everything up to the last "\".
std::string baseNameOf(const std::string& path);

std::string itemText(Offset offset, const std::string& leadPath);

// The archive beside the lead path that add-to fills.
std::string namedArchivePath(const std::string& leadPath);
// The archive that Zip and Email has the manager build in the temporary folder.
std::string mailArchivePath(std::string temporaryFolder, const std::string& leadPath);

// What the manager is started with; temporaryArchive matters for Zip and
// Email only. The selection goes in a list file, which has no length limit
// as a command line has: "-l" and the file's path in double quotes.
std::string parameters(unsigned offset, const Selection& selection, const std::string& temporaryArchive,
                       const std::string& listFile);
// What the list file holds: each path of the selection and a line break.
std::string listText(const Selection& selection);

} // namespace commandtext
