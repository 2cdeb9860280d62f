#include "tools/backup_index.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

void Put16(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}
void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}
uint32_t Get32(const char* bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Days from 1 January 1970 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

constexpr int64_t DaysFrom1899To1970 = 25569;

}  // namespace

std::string EncodeBackupRecord(const BackupIndexRecord& record) {
  std::string bytes(BackupIndexRecordSize, '\0');
  const size_t length = std::min(record.FileName.size(), BackupNameLength);
  bytes[0] = static_cast<char>(length);
  std::memcpy(&bytes[1], record.FileName.data(), length);
  Put16(bytes, 22, record.ArchiveNumber);
  uint64_t date;
  static_assert(sizeof date == sizeof record.DateTime);
  std::memcpy(&date, &record.DateTime, sizeof date);
  Put32(bytes, 24, static_cast<uint32_t>(date));
  Put32(bytes, 28, static_cast<uint32_t>(date >> 32));
  Put32(bytes, 32, static_cast<uint32_t>(record.Size));
  Put32(bytes, 36, static_cast<uint32_t>(record.VersionHigh));
  Put32(bytes, 40, static_cast<uint32_t>(record.VersionLow));
  Put32(bytes, 44, static_cast<uint32_t>(record.Language));
  return bytes;
}

BackupIndexRecord DecodeBackupRecord(const char* bytes) {
  BackupIndexRecord record;
  // A damaged length byte names no more than the 20 bytes there are.
  const size_t length = std::min<size_t>(static_cast<unsigned char>(bytes[0]), BackupNameLength);
  record.FileName.assign(bytes + 1, length);
  record.ArchiveNumber = static_cast<uint16_t>(static_cast<unsigned char>(bytes[22]) |
                                               (static_cast<unsigned char>(bytes[23]) << 8));
  const uint64_t date = Get32(bytes, 24) | (static_cast<uint64_t>(Get32(bytes, 28)) << 32);
  std::memcpy(&record.DateTime, &date, sizeof date);
  if (!std::isfinite(record.DateTime)) record.DateTime = 0;
  record.Size = static_cast<int32_t>(Get32(bytes, 32));
  record.VersionHigh = static_cast<int32_t>(Get32(bytes, 36));
  record.VersionLow = static_cast<int32_t>(Get32(bytes, 40));
  record.Language = static_cast<int32_t>(Get32(bytes, 44));
  return record;
}

std::string ArchiveFileName(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "PVLN%04d.ZIP", number);
  return name;
}

int ArchiveNumberOf(const std::string& archiveName) {
  const size_t slash = archiveName.find_last_of("\\/:");
  const std::string name = slash == std::string::npos ? archiveName : archiveName.substr(slash + 1);
  if (name.size() < 8 || _strnicmp(name.c_str(), "PVLN", 4) != 0) return 0;
  int number = 0;
  for (size_t i = 4; i < 8; ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

double DateTimeOfFileTime(const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME t;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t)) return 0;
  const int64_t days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) + DaysFrom1899To1970;
  const double seconds = t.wHour * 3600.0 + t.wMinute * 60.0 + t.wSecond + t.wMilliseconds / 1000.0;
  return static_cast<double>(days) + seconds / 86400.0;
}

std::string DateTimeText(double dateTime) {
  // Days since 30 December 1899 back to a civil date (the inverse of
  // DaysFromCivil), and the fraction to the second.
  // Rounded to the millisecond, then cut to the second: 23:59:59.991 is
  // still 23:59:59 of its own day.
  int64_t days = static_cast<int64_t>(std::floor(dateTime));
  int64_t milliseconds = std::llround((dateTime - static_cast<double>(days)) * 86400000.0);
  if (milliseconds >= 86400000) ++days, milliseconds -= 86400000;
  const int64_t seconds = milliseconds / 1000;
  const int64_t z = days - DaysFrom1899To1970 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = static_cast<int64_t>(yoe) + era * 400 + (month <= 2);
  char text[64];
  // The short form drops a midnight time, as the platform's format does;
  // then "00:00:00" is written out after the blank.
  if (seconds == 0)
    std::snprintf(text, sizeof text, "%02u/%02u/%04lld ", day, month, static_cast<long long>(year));
  else
    std::snprintf(text, sizeof text, "%02u/%02u/%04lld %02d:%02d:%02d ", day, month, static_cast<long long>(year),
                  static_cast<int>(seconds / 3600), static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  std::string shown = text;
  if (shown.size() < 14) shown += "00:00:00";
  return shown;
}

bool BackupIndex::Open(const std::string& path) {
  Close();
  file_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

void BackupIndex::Close() {
  if (IsOpen()) CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

int BackupIndex::Count() const {
  LARGE_INTEGER size{};
  if (!IsOpen() || !GetFileSizeEx(file_, &size)) return 0;
  return static_cast<int>(std::min<int64_t>(size.QuadPart / BackupIndexRecordSize, INT32_MAX));
}

bool BackupIndex::Read(int number, BackupIndexRecord& record) const {
  if (number < 0 || number >= Count()) return false;
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<int64_t>(number) * BackupIndexRecordSize;
  char bytes[BackupIndexRecordSize];
  DWORD read = 0;
  if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) || !ReadFile(file_, bytes, sizeof bytes, &read, nullptr) ||
      read != sizeof bytes)
    return false;
  record = DecodeBackupRecord(bytes);
  return true;
}

bool BackupIndex::Write(int number, const BackupIndexRecord& record) {
  if (number < 0 || number > Count()) return false;
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<int64_t>(number) * BackupIndexRecordSize;
  const std::string bytes = EncodeBackupRecord(record);
  DWORD written = 0;
  if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) ||
      !WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written != bytes.size())
    return false;
  FlushFileBuffers(file_);
  return true;
}

std::vector<std::string> BackupIndex::Names() const {
  std::vector<std::string> names;
  BackupIndexRecord record;
  for (int i = 0, n = Count(); i < n && Read(i, record); ++i) names.push_back(record.FileName);
  return names;
}
