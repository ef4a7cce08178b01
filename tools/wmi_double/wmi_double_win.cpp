// A wmi.dll for tests and replays. It answers the thermal-zone data block
// from one buffer: the one handed to WmiDoubleServe or WmiDoubleServeFile,
// or else the capture file named by BOARDSCOPE_WMI_CAPTURE. That variable
// may name several captures separated by ';': each open of the block then
// serves the next one, and the last one from there on.
#include "wmi_double_win.h"

#include "contract/host_constants_win.h"
#include "contract/wnode_layout.h"
#include "contract/zone_data_block.h"
#include "platform/owners_win.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
ULONG WINAPI WmiOpenBlock(GUID* guid, ULONG desiredAccess, HANDLE* block);
ULONG WINAPI WmiQueryAllDataW(HANDLE block, ULONG* bufferSize, void* buffer);
ULONG WINAPI WmiCloseBlock(HANDLE block);
ULONG WINAPI WmiDoubleServe(const void* data, ULONG size);
ULONG WINAPI WmiDoubleServeFile(const wchar_t* path);
ULONG WINAPI WmiDoubleReplayProblem(wchar_t* path, ULONG pathChars);
void WINAPI WmiDoubleFailStep(ULONG step, ULONG error);
void WINAPI WmiDoubleStampOnClose(ULONG currentTemperature);
void WINAPI WmiDoubleHoldClose(HANDLE reached, HANDLE release);
void WINAPI WmiDoubleGetCounts(WmiDoubleCounts* counts);
void WINAPI WmiDoubleReset();
}

using boardscope::OwnedCriticalSection;
using boardscope::ScopedCriticalSection;
using boardscope::UniqueFileHandle;

namespace {

constexpr ULONG kHandleTag = 0x3A110000;

struct State {
  bool served = false;  // set once data came from a control or the environment
  std::vector<std::uint8_t> data;
  std::vector<std::vector<std::uint8_t>> sequence;  // captures served open by open
  std::size_t nextInSequence = 0;
  std::wstring replayPath;  // the first capture of the environment that could not be read
  ULONG replayError = ERROR_SUCCESS;
  ULONG failStep = kWmiDoubleNoFailure;
  ULONG failError = 0;
  ULONG stamp = 0;
  HANDLE holdReached = nullptr;
  HANDLE holdRelease = nullptr;
  void* lastBuffer = nullptr;
  ULONG lastBufferSize = 0;
  WmiDoubleCounts counts{};
  ULONG nextHandle = 1;
};

State& TheState() {
  static State state;
  return state;
}

// A critical section, not an SRW lock, so that the double loads wherever
// the product does; set up on first use, as the state is.
CRITICAL_SECTION& StateLock() {
  static OwnedCriticalSection section;
  return section.get();
}

void Note(State& s, char event) {
  const std::size_t used = std::strlen(s.counts.events);
  if (used + 1 < sizeof s.counts.events) s.counts.events[used] = event;
}

[[nodiscard]] ULONG ReadFileInto(const wchar_t* path, std::vector<std::uint8_t>& data) {
  const UniqueFileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError();
  ULONG result = ERROR_SUCCESS;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024) {
    result = ERROR_FILE_TOO_LARGE;
  } else {
    data.assign(static_cast<std::size_t>(size.QuadPart), 0);
    DWORD read = 0;
    if (!data.empty() && (!ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &read, nullptr) ||
                          read != data.size()))
      result = ERROR_READ_FAULT;
  }
  if (result != ERROR_SUCCESS) data.clear();
  return result;
}

// Without a control call, the data come from the captures the environment
// names. When one cannot be read (or is empty: a capture always holds a
// block), nothing is served and the failure is kept for
// WmiDoubleReplayProblem.
void ServeDefault(State& s) {
  if (s.served) return;
  s.served = true;
  std::wstring paths(32767, L'\0');
  const DWORD length = GetEnvironmentVariableW(L"BOARDSCOPE_WMI_CAPTURE", &paths[0], 32767);
  if (length == 0 || length >= 32767) return;
  paths.resize(length);
  for (std::size_t start = 0; start <= paths.size();) {
    const std::size_t end = std::min(paths.find(L';', start), paths.size());
    const std::wstring path = paths.substr(start, end - start);
    start = end + 1;
    std::vector<std::uint8_t> data;
    ULONG result = ReadFileInto(path.c_str(), data);
    if (result == ERROR_SUCCESS && data.empty()) result = ERROR_HANDLE_EOF;
    if (result != ERROR_SUCCESS) {
      s.replayPath = path;
      s.replayError = result;
      s.sequence.clear();
      break;
    }
    s.sequence.push_back(std::move(data));
  }
  if (s.sequence.size() == 1) s.data.swap(s.sequence[0]);
  if (s.sequence.size() <= 1) s.sequence.clear();
}

bool Valid(const State& s, HANDLE block) {
  const auto value = static_cast<ULONG>(reinterpret_cast<std::uintptr_t>(block));
  return (value & 0xFFFF0000u) == kHandleTag && (value & 0xFFFFu) < s.nextHandle &&
         s.counts.openHandles > 0;
}

// The first zone's data block in `buffer`, found as the plug-in finds it.
std::uint8_t* FirstBlock(std::uint8_t* buffer, ULONG size) {
  namespace wnode = boardscope::wnode;
  const std::size_t at = wnode::NodeFits(size, 0) ? wnode::FirstBlockOffset(buffer, size, boardscope::kZoneDataSize) : 0;
  return at != 0 ? buffer + at : nullptr;
}

}  // namespace

ULONG WINAPI WmiOpenBlock(GUID* guid, ULONG desiredAccess, HANDLE* block) {
  ScopedCriticalSection lock(StateLock());
  State& s = TheState();
  ServeDefault(s);
  ++s.counts.opens;
  s.counts.lastAccess = desiredAccess;
  Note(s, 'O');
  if (block == nullptr) return ERROR_INVALID_PARAMETER;
  *block = nullptr;
  if (guid == nullptr || !IsEqualGUID(*guid, boardscope::kThermalZoneBlockGuid)) {
    ++s.counts.wrongGuidOpens;
    return ERROR_WMI_GUID_NOT_FOUND;
  }
  if (!s.sequence.empty()) s.data = s.sequence[std::min(s.nextInSequence++, s.sequence.size() - 1)];
  if (s.failStep == kWmiDoubleOpen) return s.failError;
  if (s.data.empty()) return ERROR_WMI_GUID_NOT_FOUND;
  *block = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(kHandleTag | (s.nextHandle++ & 0xFFFFu)));
  ++s.counts.openHandles;
  return ERROR_SUCCESS;
}

ULONG WINAPI WmiQueryAllDataW(HANDLE block, ULONG* bufferSize, void* buffer) {
  ScopedCriticalSection lock(StateLock());
  State& s = TheState();
  if (!Valid(s, block)) return ERROR_INVALID_HANDLE;
  if (bufferSize == nullptr) return ERROR_INVALID_PARAMETER;
  const auto needed = static_cast<ULONG>(s.data.size());
  if (buffer == nullptr || *bufferSize < needed) {
    ++s.counts.sizeQueries;
    Note(s, 'S');
    if (s.failStep == kWmiDoubleSizeQuery) return s.failError;
    *bufferSize = needed;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  ++s.counts.dataQueries;
  s.counts.lastBufferSize = *bufferSize;
  Note(s, 'Q');
  if (s.failStep == kWmiDoubleDataQuery) return s.failError;
  std::memcpy(buffer, s.data.data(), needed);
  *bufferSize = needed;
  s.lastBuffer = buffer;
  s.lastBufferSize = needed;
  return ERROR_SUCCESS;
}

ULONG WINAPI WmiCloseBlock(HANDLE block) {
  HANDLE reached = nullptr;
  HANDLE release = nullptr;
  {
    ScopedCriticalSection lock(StateLock());
    State& s = TheState();
    ++s.counts.closes;
    Note(s, 'C');
    if (!Valid(s, block)) return ERROR_INVALID_HANDLE;
    --s.counts.openHandles;
    if (s.stamp != 0 && s.lastBuffer != nullptr) {
      if (std::uint8_t* first = FirstBlock(static_cast<std::uint8_t*>(s.lastBuffer), s.lastBufferSize))
        std::memcpy(first + offsetof(boardscope::ZoneDataBlock, CurrentTemperature), &s.stamp, 4);
    }
    s.lastBuffer = nullptr;
    reached = s.holdReached;
    release = s.holdRelease;
  }
  if (reached != nullptr && release != nullptr) {
    SetEvent(reached);
    WaitForSingleObject(release, 30000);
  }
  return ERROR_SUCCESS;
}

ULONG WINAPI WmiDoubleServe(const void* data, ULONG size) {
  ScopedCriticalSection lock(StateLock());
  State& s = TheState();
  s.served = true;
  s.sequence.clear();
  if (data == nullptr && size != 0) return ERROR_INVALID_PARAMETER;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  s.data.assign(bytes, bytes + size);
  return ERROR_SUCCESS;
}

ULONG WINAPI WmiDoubleServeFile(const wchar_t* path) {
  std::vector<std::uint8_t> data;
  const ULONG result = ReadFileInto(path, data);
  ScopedCriticalSection lock(StateLock());
  State& s = TheState();
  s.served = true;
  s.sequence.clear();
  s.data.swap(data);
  return result;
}

ULONG WINAPI WmiDoubleReplayProblem(wchar_t* path, ULONG pathChars) {
  ScopedCriticalSection lock(StateLock());
  State& s = TheState();
  ServeDefault(s);
  if (path != nullptr && pathChars != 0) {
    const std::size_t copied = std::min<std::size_t>(s.replayPath.size(), pathChars - 1);
    std::memcpy(path, s.replayPath.data(), copied * sizeof(wchar_t));
    path[copied] = L'\0';
  }
  return s.replayError;
}

void WINAPI WmiDoubleFailStep(ULONG step, ULONG error) {
  ScopedCriticalSection lock(StateLock());
  TheState().failStep = step;
  TheState().failError = error;
}

void WINAPI WmiDoubleStampOnClose(ULONG currentTemperature) {
  ScopedCriticalSection lock(StateLock());
  TheState().stamp = currentTemperature;
}

void WINAPI WmiDoubleHoldClose(HANDLE reached, HANDLE release) {
  ScopedCriticalSection lock(StateLock());
  TheState().holdReached = reached;
  TheState().holdRelease = release;
}

void WINAPI WmiDoubleGetCounts(WmiDoubleCounts* counts) {
  ScopedCriticalSection lock(StateLock());
  if (counts != nullptr) *counts = TheState().counts;
}

void WINAPI WmiDoubleReset() {
  ScopedCriticalSection lock(StateLock());
  State& s = TheState();
  const ULONG open = s.counts.openHandles;
  s.counts = WmiDoubleCounts{};
  s.counts.openHandles = open;
  s.failStep = kWmiDoubleNoFailure;
  s.failError = 0;
  s.stamp = 0;
  s.holdReached = nullptr;
  s.holdRelease = nullptr;
}
