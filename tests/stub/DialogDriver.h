#pragma once
// Runs a program and plays the user at its message boxes and password
// dialog: finds each window it shows, records what it says and presses a
// button (or closes a window that is no dialog), until the program ends.
#include <string>
#include <vector>

namespace stub_testing {

struct SeenWindow {
    std::string title;
    std::string text;  // the static texts of the window, one after the other
};

struct Answers {
    bool confirm = true;                 // Yes or No to every question
    std::vector<std::string> passwords;  // one per password dialog; Cancel when none is left
};

struct StubRun {
    unsigned long exitCode = 0;
    std::vector<SeenWindow> windows;
    int passwordDialogs = 0;
};

StubRun runAndAnswer(const std::string& program, const std::string& currentDirectory, Answers answers,
                     const std::string& arguments = std::string());

} // namespace stub_testing
