// The data of an entry: a file stored or deflated into an archive, an
// entry's data checked (and expanded) out of one, raw data copied between
// archives. zlib does the raw deflate streams (no zlib header: window bits
// -15) and the CRC-32; buffers are large and nothing is done per byte.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "tools/zip/zip_container.h"
#include "tools/zip/zip_files.h"

namespace zip {

// Called after each buffer, so that the callback can show progress or stop
// the work (by throwing).
using StepFunction = std::function<void()>;

struct Coded {
  uint32_t crc = 0;
  uint64_t size = 0;            // bytes read from the file
  uint64_t compressedSize = 0;  // bytes written to the archive
};

// Reads `file` to its end and writes it to `out` stored (level 0) or
// deflated at that level (1 to 9).
Coded CompressFile(HANDLE file, const std::string& path, int level, OutputFile& out, const StepFunction& step);

// Checks the entry's data at `dataStart`: it must expand to exactly its
// size with its CRC. The expanded bytes go to `out` when there is one.
// Throws ZipErrorEntry when the data is damaged, ZipErrorUnsupported for a
// method other than stored or deflated.
void ExpandEntry(ByteSource& archive, uint64_t dataStart, const Entry& entry, OutputFile* out,
                 const StepFunction& step);

// Copies `size` bytes of the archive from `offset` on, unchanged.
void CopyRaw(ByteSource& archive, uint64_t offset, uint64_t size, OutputFile& out, const StepFunction& step);

}  // namespace zip
