#include "tools/zip/zip_streams.h"

#include <zlib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "tools/zip/zip_records.h"

namespace zip {

namespace {

constexpr int RawDeflateWindowBits = -15;
constexpr int DeflateMemoryLevel = 8;

using Buffer = std::vector<unsigned char>;

uint32_t Crc(uint32_t crc, const unsigned char* data, size_t size) {
  return static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(size)));
}

Failure DamagedEntry(const Entry& entry, const std::string& why) {
  return {ZipErrorEntry, "Entrée endommagée : " + entry.name + " (" + why + ")."};
}

// zlib's stream, ended on every way out.
struct Deflater {
  z_stream z{};
  explicit Deflater(int level) {
    if (deflateInit2(&z, level, Z_DEFLATED, RawDeflateWindowBits, DeflateMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK)
      throw Failure{ZipErrorInternal, "Erreur interne de compression."};
  }
  ~Deflater() { deflateEnd(&z); }
};

struct Inflater {
  z_stream z{};
  Inflater() {
    if (inflateInit2(&z, RawDeflateWindowBits) != Z_OK) throw Failure{ZipErrorInternal, "Erreur interne de décompression."};
  }
  ~Inflater() { inflateEnd(&z); }
};

// Deflates what the stream holds as input; with `finish` until the stream ends.
void Drain(Deflater& d, Buffer& out, bool finish, OutputFile& file, Coded& coded) {
  int status = Z_OK;
  do {
    d.z.next_out = out.data();
    d.z.avail_out = static_cast<uInt>(out.size());
    status = deflate(&d.z, finish ? Z_FINISH : Z_NO_FLUSH);
    const size_t produced = out.size() - d.z.avail_out;
    file.Write(out.data(), produced);
    coded.compressedSize += produced;
  } while (d.z.avail_out == 0 || (finish && status != Z_STREAM_END));
}

// The checks every expanded entry passes.
void CheckExpanded(const Entry& entry, uint64_t size, uint32_t crc) {
  if (size != entry.size) throw DamagedEntry(entry, "taille incorrecte");
  if (crc != entry.crc) throw DamagedEntry(entry, "CRC incorrect");
}

void ExpandStored(ByteSource& archive, uint64_t at, const Entry& entry, OutputFile* out, const StepFunction& step) {
  if (entry.compressedSize != entry.size) throw DamagedEntry(entry, "taille incorrecte");
  Buffer in(std::min<size_t>(StreamBufferSize, std::max<size_t>(entry.size, 1)));
  uint32_t crc = 0;
  for (uint64_t left = entry.size; left > 0;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, in.size()));
    archive.ReadAt(at, in.data(), n);
    crc = Crc(crc, in.data(), n);
    if (out) out->Write(in.data(), n);
    at += n;
    left -= n;
    step();
  }
  CheckExpanded(entry, entry.size, crc);
}

void ExpandDeflated(ByteSource& archive, uint64_t at, const Entry& entry, OutputFile* out, const StepFunction& step) {
  Inflater inflater;
  z_stream& z = inflater.z;
  Buffer in(std::min<size_t>(StreamBufferSize, std::max<size_t>(entry.compressedSize, 1)));
  Buffer expanded(StreamBufferSize);
  uint64_t left = entry.compressedSize, total = 0;
  uint32_t crc = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (z.avail_in == 0) {
      if (left == 0) throw DamagedEntry(entry, "données compressées incomplètes");
      const size_t n = static_cast<size_t>(std::min<uint64_t>(left, in.size()));
      archive.ReadAt(at, in.data(), n);
      at += n;
      left -= n;
      z.next_in = in.data();
      z.avail_in = static_cast<uInt>(n);
    }
    z.next_out = expanded.data();
    z.avail_out = static_cast<uInt>(expanded.size());
    status = inflate(&z, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
      throw DamagedEntry(entry, "données compressées invalides");
    const size_t produced = expanded.size() - z.avail_out;
    total += produced;
    // Never more than the entry says: a forged size cannot fill the disk.
    if (total > entry.size) throw DamagedEntry(entry, "taille incorrecte");
    crc = Crc(crc, expanded.data(), produced);
    if (out) out->Write(expanded.data(), produced);
    step();
  }
  CheckExpanded(entry, total, crc);
}

}  // namespace

Coded CompressFile(HANDLE file, const std::string& path, int level, OutputFile& out, const StepFunction& step) {
  Coded coded;
  Buffer in(StreamBufferSize);
  std::unique_ptr<Deflater> deflater;
  Buffer deflated;
  if (level > 0) {
    deflater = std::make_unique<Deflater>(level);
    deflated.resize(StreamBufferSize);
  }
  for (;;) {
    const size_t n = ReadSome(file, path, in.data(), in.size());
    if (n == 0) break;
    coded.crc = Crc(coded.crc, in.data(), n);
    coded.size += n;
    if (coded.size > MaxSize)
      throw Failure{ZipErrorUnsupported, "Fichier de 4 Go ou plus, non pris en charge : " + path + "."};
    if (deflater) {
      deflater->z.next_in = in.data();
      deflater->z.avail_in = static_cast<uInt>(n);
      Drain(*deflater, deflated, false, out, coded);
    } else {
      out.Write(in.data(), n);
      coded.compressedSize += n;
    }
    step();
  }
  if (deflater) Drain(*deflater, deflated, true, out, coded);
  if (coded.compressedSize > MaxSize)
    throw Failure{ZipErrorUnsupported, "Fichier de 4 Go ou plus une fois compressé : " + path + "."};
  return coded;
}

void ExpandEntry(ByteSource& archive, uint64_t dataStart, const Entry& entry, OutputFile* out,
                 const StepFunction& step) {
  switch (entry.method) {
    case MethodStored: return ExpandStored(archive, dataStart, entry, out, step);
    case MethodDeflated: return ExpandDeflated(archive, dataStart, entry, out, step);
    default:
      throw Failure{ZipErrorUnsupported, "Méthode de compression " + std::to_string(entry.method) +
                                             " non prise en charge : " + entry.name + "."};
  }
}

void CopyRaw(ByteSource& archive, uint64_t offset, uint64_t size, OutputFile& out, const StepFunction& step) {
  Buffer bytes(static_cast<size_t>(std::min<uint64_t>(StreamBufferSize, std::max<uint64_t>(size, 1))));
  while (size > 0) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size, bytes.size()));
    archive.ReadAt(offset, bytes.data(), n);
    out.Write(bytes.data(), n);
    offset += n;
    size -= n;
    step();
  }
}

}  // namespace zip
