// Carrying states and reports between the program directory and a
// diskette, and deleting them there. A state always goes as a whole: its
// index and every member it has. Directories end with "\".
#pragma once
#include <string>
#include <vector>

// The files of a state as they stand in a directory, index first: the index
// and every member there, up to the last its index names and past it while
// members follow one another (a member whose copy failed at the recording
// has no file and is no gap). None when the index is missing.
std::vector<std::string> StateFileNames(const std::string& directory, const std::string& baseName);

// Copies (or moves) files from one directory to another as one: each is
// copied under a work name beside its destination, with its date and
// attributes; a moved file's copy is read back and compared with its
// source. Only when every copy stands do they take their names, the first
// of the list last (a state's index), and a move then deletes the sources,
// the first first. Any failure raises IoError (with the code the disk
// error box shows): before the copies take their names, it leaves no work
// file at the destination and the sources whole; a source that cannot be
// deleted after its copy stands is said so too.
void TransferFiles(const std::string& fromDirectory, const std::string& toDirectory,
                   const std::vector<std::string>& names, bool move);

void TransferState(const std::string& fromDirectory, const std::string& toDirectory,
                   const std::string& baseName, bool move);
// Deletes files, in the order given; one that cannot be deleted (a
// write-protected diskette) raises IoError once the others are deleted.
void DeleteFiles(const std::string& directory, const std::vector<std::string>& names);
// Deletes every file of a state, its index first, so that a deletion
// stopped half-way leaves no state that a list would show.
void DeleteStateIn(const std::string& directory, const std::string& baseName);

// The current directory, ending with "\": the program directory's side of
// a transfer.
std::string CurrentDirectoryPath();

// Between the program directory and the storage location: towards the
// storage location the state is moved, back from it copied (it stays on
// the diskette).
enum class TransferDirection { ToStorage, FromStorage };
void TransferStateFiles(const std::string& baseName, TransferDirection direction);
