#pragma once
#include <string>
#include <vector>

// Each command takes its own arguments (after the command word) and returns
// the exit code; failures are thrown.
using Words = std::vector<std::string>;

int listCommand(const Words& words);
int extractCommand(const Words& words);
int testCommand(const Words& words);
int addCommand(const Words& words);
int deleteCommand(const Words& words);
int commentCommand(const Words& words);
int sfxCommand(const Words& words);
int exeParamsCommand(const Words& words);
int repairCommand(const Words& words);
