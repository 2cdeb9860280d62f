// The undo run: takes back what a report lists as added, writes the undo
// log (".PV3") and deletes the report. Program.UninstallMode chooses
// between uninstall (shared files protected, recycle bin) and restore.
#pragma once
#include <string>

// title: "à l'installation de X " / "au lancement de X " from the uninstall
// wizard; empty for a restore. Questions go through CurrentUndoQuestions()
// and are asked only at the levels that call for them (never at level 0).
void UndoRun(const std::string& reportName, const std::string& title);

// The log's name: the report's base name (up to its first dot) + ".PV3".
std::string UndoLogNameOf(const std::string& reportName);

// Deletes one file; to the recycle bin when uninstalling with RecBin set.
// `recycled` tells which way it went.
bool RemoveFileUndoable(const std::string& path, bool* recycled = nullptr);

// The short form of a path inside questions: "C:\PROGRAM FILES\...\FILE.DLL".
std::string ShortenPathForMessage(const std::string& path);
