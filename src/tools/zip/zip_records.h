// The records the archive component hands to PVZIP.DLL and PVUNZIP.DLL and
// the record those libraries hand back to its callback: the one definition
// both sides compile against.
//
// The layout rule. The records were laid out for 32-bit Windows, where
// every field is 4 bytes: the owner window at 0, the component at 4, and so
// on. This program is 64-bit, so each record is the C structure whose
// fields come in that order with those meanings, where the owner window
// handle, the component, the callback and every text pointer have the size
// of a pointer and every other field is a 32-bit integer, with the
// compiler's natural alignment; the file pattern pointers end the
// structure as an array. The structures are written once over a "slots"
// type: `Native` gives the real pointers, `Slots32` 4-byte slots, with which
// the static_asserts below prove that a 32-bit build places every field at
// its historical offset.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

struct ZipCallbackRecord;

// The callback: answers 1 to ask the library to stop, 0 to go on.
using ZipCallbackFunction = int32_t(WINAPI*)(ZipCallbackRecord* record);

// What the libraries send through the callback (the `Action` field).
constexpr int32_t ZipActionNewFile = 1;   // Text: the file that starts; FileSize its size
constexpr int32_t ZipActionProgress = 2;  // a step of progress within the file
constexpr int32_t ZipActionEndBatch = 3;  // the operation is over
constexpr int32_t ZipActionMessage = 4;   // Text: a message, ErrorCode its code (0: information)

// The error codes of a ZipActionMessage (0: information). The texts say the
// rest; the component hands both on without interpreting them.
constexpr int32_t ZipErrorRequest = 1;      // the request itself is refused (version, check, count, names)
constexpr int32_t ZipErrorUnsupported = 2;  // encryption, 4 GiB or more, more than 65535 entries, a method
constexpr int32_t ZipErrorArchive = 3;      // the archive is missing, unreadable, truncated or damaged
constexpr int32_t ZipErrorEntry = 4;        // an entry's data fails its check (CRC, compressed data)
constexpr int32_t ZipErrorWrite = 5;        // a file could not be written or replaced (disk full, in use)
constexpr int32_t ZipErrorRead = 6;         // a file to add could not be found or read
constexpr int32_t ZipErrorUnsafeName = 7;   // an entry would land outside the target folder
constexpr int32_t ZipErrorInternal = 8;     // an unexpected failure inside the library

constexpr int32_t ZipLibraryVersionNumber = 100;

constexpr int32_t ZipStructureVersion = 100;
constexpr int32_t ZipStructureCheck = 7;
constexpr int ZipMaxPatterns = 4097;
constexpr int ZipTextBufferSize = 256;      // archive name and every file pattern
constexpr int ZipPasswordBufferSize = 81;   // 80 characters and the zero
constexpr int ZipCallbackTextSize = 1024;   // the text of a callback record, with its zero

namespace zip_slots {
struct Native {
  using Window = HWND;
  using Object = void*;
  using Callback = ZipCallbackFunction;
  using Text = char*;
};
struct Slots32 {
  using Window = uint32_t;
  using Object = uint32_t;
  using Callback = uint32_t;
  using Text = uint32_t;
};
}  // namespace zip_slots

template <class S>
struct BasicZipRequest {
  typename S::Window Owner;       // the window of the form that owns the component
  typename S::Object Component;   // given back in every callback record
  int32_t Version;                // ZipStructureVersion
  typename S::Callback Callback;
  int32_t Trace;
  typename S::Text Password;      // ZipPasswordBufferSize bytes
  int32_t Reserved24;
  int32_t Encrypt;
  int32_t HiddenFiles;            // hidden and system files are taken
  int32_t Zero36;
  int32_t Zero40;
  int32_t NoDirectoryEntries;     // always 1
  int32_t Zero48;
  int32_t Verbose;
  int32_t Quiet;                  // always 1
  int32_t Level;                  // 0 stores, 1 to 9 deflate
  int32_t Zero64;
  int32_t Zero68;
  int32_t JunkDirectoryNames;     // 1: entries are named without their directory
  int32_t Recurse;
  int32_t Grow;                   // 1: add to an existing archive
  int32_t DosNames;
  int32_t Move;                   // delete each file once it is safely in the archive
  int32_t DeleteEntries;          // 1: delete the entries the patterns name
  int32_t Update;                 // add new files and files newer than their entry
  int32_t Freshen;                // replace only entries older than their file
  int32_t Zero104;
  int32_t ArchiveTime;            // the archive takes the time of its newest entry
  int32_t Reserved112;
  int32_t Reserved116;
  int32_t PatternCount;
  typename S::Text ArchiveName;   // ZipTextBufferSize bytes
  int32_t Check;                  // ZipStructureCheck
  typename S::Text Patterns[ZipMaxPatterns];  // PatternCount of them used
};

template <class S>
struct BasicUnzipRequest {
  typename S::Window Owner;
  typename S::Object Component;
  int32_t Version;
  typename S::Callback Callback;
  int32_t Trace;
  int32_t Reserved20;
  typename S::Text Password;
  int32_t Test;                   // check every entry's CRC, write nothing
  int32_t Zero32;
  int32_t Zero36;
  int32_t Quiet;                  // always 1
  int32_t Verbose;
  int32_t Update;                 // extract new files and entries newer than their file
  int32_t Freshen;                // extract only over older existing files
  int32_t DirectoryNames;         // 1: recreate the entries' directories
  int32_t Overwrite;              // 1: existing files may be replaced without asking
  int32_t PatternCount;
  typename S::Text ArchiveName;
  int32_t Check;
  typename S::Text Patterns[ZipMaxPatterns];
};

template <class S>
struct BasicZipCallbackRecord {
  typename S::Window Owner;
  typename S::Object Component;
  int32_t Reserved1;
  int32_t Reserved2;
  int32_t Action;
  int32_t ErrorCode;
  int32_t FileSize;
  char Text[ZipCallbackTextSize];  // zero-terminated, CP1252
};

using ZipRequest = BasicZipRequest<zip_slots::Native>;
using UnzipRequest = BasicUnzipRequest<zip_slots::Native>;
struct ZipCallbackRecord : BasicZipCallbackRecord<zip_slots::Native> {};

// The entry points, looked up by name after loading.
using ZipExecuteFunction = int32_t(WINAPI*)(ZipRequest* request);
using UnzipExecuteFunction = int32_t(WINAPI*)(UnzipRequest* request);
using LibraryVersionFunction = int32_t(WINAPI*)();

// ---- the historical offsets -------------------------------------------------------------
namespace zip_layout32 {
using Z = BasicZipRequest<zip_slots::Slots32>;
using U = BasicUnzipRequest<zip_slots::Slots32>;
using C = BasicZipCallbackRecord<zip_slots::Slots32>;
static_assert(offsetof(Z, Owner) == 0 && offsetof(Z, Component) == 4 && offsetof(Z, Version) == 8);
static_assert(offsetof(Z, Callback) == 12 && offsetof(Z, Trace) == 16 && offsetof(Z, Password) == 20);
static_assert(offsetof(Z, Reserved24) == 24 && offsetof(Z, Encrypt) == 28 && offsetof(Z, HiddenFiles) == 32);
static_assert(offsetof(Z, Zero36) == 36 && offsetof(Z, Zero40) == 40 && offsetof(Z, NoDirectoryEntries) == 44);
static_assert(offsetof(Z, Zero48) == 48 && offsetof(Z, Verbose) == 52 && offsetof(Z, Quiet) == 56);
static_assert(offsetof(Z, Level) == 60 && offsetof(Z, Zero64) == 64 && offsetof(Z, Zero68) == 68);
static_assert(offsetof(Z, JunkDirectoryNames) == 72 && offsetof(Z, Recurse) == 76 && offsetof(Z, Grow) == 80);
static_assert(offsetof(Z, DosNames) == 84 && offsetof(Z, Move) == 88 && offsetof(Z, DeleteEntries) == 92);
static_assert(offsetof(Z, Update) == 96 && offsetof(Z, Freshen) == 100 && offsetof(Z, Zero104) == 104);
static_assert(offsetof(Z, ArchiveTime) == 108 && offsetof(Z, Reserved112) == 112 && offsetof(Z, Reserved116) == 116);
static_assert(offsetof(Z, PatternCount) == 120 && offsetof(Z, ArchiveName) == 124 && offsetof(Z, Check) == 128);
static_assert(offsetof(Z, Patterns) == 132);

static_assert(offsetof(U, Owner) == 0 && offsetof(U, Component) == 4 && offsetof(U, Version) == 8);
static_assert(offsetof(U, Callback) == 12 && offsetof(U, Trace) == 16 && offsetof(U, Reserved20) == 20);
static_assert(offsetof(U, Password) == 24 && offsetof(U, Test) == 28 && offsetof(U, Zero32) == 32);
static_assert(offsetof(U, Zero36) == 36 && offsetof(U, Quiet) == 40 && offsetof(U, Verbose) == 44);
static_assert(offsetof(U, Update) == 48 && offsetof(U, Freshen) == 52 && offsetof(U, DirectoryNames) == 56);
static_assert(offsetof(U, Overwrite) == 60 && offsetof(U, PatternCount) == 64 && offsetof(U, ArchiveName) == 68);
static_assert(offsetof(U, Check) == 72 && offsetof(U, Patterns) == 76);

static_assert(offsetof(C, Component) == 4 && offsetof(C, Action) == 16 && offsetof(C, ErrorCode) == 20);
static_assert(offsetof(C, FileSize) == 24 && offsetof(C, Text) == 28);
}  // namespace zip_layout32
