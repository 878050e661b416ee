#include "zip_writer.h"

#include <cstdint>
#include <vector>

#include "crc32.h"
#include "fs_util.h"
#include "win_handle.h"

namespace standin {

namespace {

constexpr uint32_t kLocalSig = 0x04034b50;
constexpr uint32_t kCentralSig = 0x02014b50;
constexpr uint32_t kEndSig = 0x06054b50;
constexpr uint16_t kUtf8Flag = 0x0800;
constexpr uint64_t kMax32 = 0xFFFFFFFFull;

struct Written {
  const ArchiveEntry* entry;
  uint32_t offset = 0;
  uint32_t crc = 0;
  uint32_t size = 0;
  uint16_t time = 0, date = 0;
};

void Put16(std::string& b, uint16_t v) {
  b += static_cast<char>(v & 0xFF);
  b += static_cast<char>(v >> 8);
}

void Put32(std::string& b, uint32_t v) {
  Put16(b, static_cast<uint16_t>(v & 0xFFFF));
  Put16(b, static_cast<uint16_t>(v >> 16));
}

uint16_t Flags(const std::string& name) {
  for (unsigned char c : name)
    if (c >= 0x80) return kUtf8Flag;
  return 0;
}

void DosTime(const FILETIME& ft, uint16_t& time, uint16_t& date) {
  FILETIME local;
  WORD d = 0x21, t = 0;  // 1980-01-01 00:00 when the time cannot be converted
  if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToDosDateTime(&local, &d, &t)) {
    d = 0x21;
    t = 0;
  }
  time = t;
  date = d;
}

// Local header and central record share this run of fields.
void PutCommon(std::string& b, const Written& w) {
  Put16(b, w.entry->is_dir ? 20 : 10);  // version needed
  Put16(b, Flags(w.entry->name));
  Put16(b, 0);  // stored
  Put16(b, w.time);
  Put16(b, w.date);
  Put32(b, w.crc);
  Put32(b, w.size);
  Put32(b, w.size);
  Put16(b, static_cast<uint16_t>(w.entry->name.size()));
  Put16(b, 0);  // extra field length
}

std::string LocalHeader(const Written& w) {
  std::string b;
  Put32(b, kLocalSig);
  PutCommon(b, w);
  return b + w.entry->name;
}

std::string CentralRecord(const Written& w) {
  std::string b;
  Put32(b, kCentralSig);
  Put16(b, 20);  // made by: zip 2.0, MS-DOS attributes
  PutCommon(b, w);
  Put16(b, 0);  // comment length
  Put16(b, 0);  // disk
  Put16(b, 0);  // internal attributes
  Put32(b, w.entry->is_dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
  Put32(b, w.offset);
  return b + w.entry->name;
}

bool Tell(HANDLE h, uint64_t& pos) {
  LARGE_INTEGER zero{}, here{};
  if (!SetFilePointerEx(h, zero, &here, FILE_CURRENT)) return false;
  pos = static_cast<uint64_t>(here.QuadPart);
  return true;
}

bool Seek(HANDLE h, uint64_t pos) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(pos);
  return SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != FALSE;
}

// Copies the file after its header, then rewrites the header with CRC and size.
bool CopyAndPatch(HANDLE out, HANDLE in, Written& w, std::wstring& error) {
  std::vector<char> buf(1 << 16);
  uint64_t total = 0;
  DWORD got = 0;
  while (ReadFile(in, buf.data(), static_cast<DWORD>(buf.size()), &got, nullptr) && got > 0) {
    total += got;
    if (total > kMax32) {
      error = L"too large for zip without zip64: " + w.entry->source;
      return false;
    }
    w.crc = Crc32(w.crc, buf.data(), got);
    if (!WriteAll(out, buf.data(), got)) return false;
  }
  w.size = static_cast<uint32_t>(total);
  uint64_t end = 0;
  std::string header = LocalHeader(w);
  return Tell(out, end) && Seek(out, w.offset) && WriteAll(out, header.data(), header.size()) &&
         Seek(out, end);
}

bool WriteEntry(HANDLE out, Written& w, std::wstring& error) {
  uint64_t offset = 0;
  if (!Tell(out, offset) || offset > kMax32) {
    if (error.empty()) error = L"archive too large for zip without zip64";
    return false;
  }
  w.offset = static_cast<uint32_t>(offset);
  DosTime(w.entry->mtime, w.time, w.date);
  std::string header = LocalHeader(w);
  if (!WriteAll(out, header.data(), header.size())) return false;
  if (w.entry->is_dir) return true;
  UniqueHandle in(CreateFileW(w.entry->source.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!in.Valid()) {
    error = L"cannot read " + w.entry->source;
    return false;
  }
  return CopyAndPatch(out, in.Get(), w, error);
}

bool WriteDirectory(HANDLE out, const std::vector<Written>& written) {
  uint64_t start = 0, end = 0;
  std::string central;
  for (const Written& w : written) central += CentralRecord(w);
  if (!Tell(out, start) || !WriteAll(out, central.data(), central.size()) || !Tell(out, end) ||
      end > kMax32)
    return false;
  std::string b;
  Put32(b, kEndSig);
  Put16(b, 0);  // this disk
  Put16(b, 0);  // disk with the central directory
  Put16(b, static_cast<uint16_t>(written.size()));
  Put16(b, static_cast<uint16_t>(written.size()));
  Put32(b, static_cast<uint32_t>(end - start));
  Put32(b, static_cast<uint32_t>(start));
  Put16(b, 0);  // comment length
  return WriteAll(out, b.data(), b.size());
}

}  // namespace

bool WriteZip(HANDLE out, const std::vector<ArchiveEntry>& entries, std::wstring& error) {
  if (entries.size() > 0xFFFF) {
    error = L"too many entries for zip without zip64";
    return false;
  }
  std::vector<Written> written;
  for (const ArchiveEntry& e : entries) {
    Written w;
    w.entry = &e;
    if (!WriteEntry(out, w, error)) {
      if (error.empty()) error = L"cannot write the archive";
      return false;
    }
    written.push_back(w);
  }
  if (WriteDirectory(out, written)) return true;
  error = L"cannot write the archive";
  return false;
}

}  // namespace standin
