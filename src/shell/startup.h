// The program-wide initialisation and the command-line mode.
#pragma once
#include <string>
#include <vector>

// Program directory (made current), help file, drives, general settings.
// The confirmation level is read only for an interactive start.
void InitialiseProgram(bool interactive);

// The drive letters whose type is removable (A to Z) and fixed (C to L),
// at most 10 each, in alphabetical order.
std::string DrivesOfType(char first, char last, unsigned type);

// Resumes the analysis of an installation that was interrupted (the setting
// Error names it): the machine is recorded again and compared with the
// state recorded before the installation (Pred) into an installation
// report (".PV1", named in Last); both states are deleted. Failures of the
// file layer raise IoError.
void ResumeInterruptedAnalysis(const std::string& installationName);

// "/ENR" with "/DIS:", "/FIC:", "/EXC:"; "/COM" with "/ACT"; "/RES"; "/REG"
// and a report's name (its registry scripts). Nothing is asked and no window
// is needed. Failures of the file layer raise IoError.
void RunCommandLineMode(const std::vector<std::string>& parameters);
