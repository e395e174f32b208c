#pragma once
// Runs a program and plays the user at its message boxes and password
// dialog: finds each window it shows, records what it says and presses a
// button, until the program ends.
#include <string>
#include <vector>

namespace stub_testing {

struct SeenWindow {
    std::string title;
    std::string text;  // the static texts of the window, one after the other
};

struct Answers {
    bool install = true;                 // Yes or No to the confirmation
    std::vector<std::string> passwords;  // one per password dialog; Cancel when none is left
};

struct StubRun {
    unsigned long exitCode = 0;
    std::vector<SeenWindow> windows;
    int passwordDialogs = 0;
};

StubRun runAndAnswer(const std::string& program, const std::string& currentDirectory, Answers answers);

} // namespace stub_testing
