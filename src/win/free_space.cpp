#include "win/free_space.h"

#include <windows.h>

#include "win/handles.h"

namespace inst::win {

std::optional<std::uint32_t> QueryFreeSpace(InstallerState& state, const std::string& path) {
  DWORD sectors = 0, bytes = 0, free_clusters = 0, clusters = 0;
  if (::GetDiskFreeSpaceA(path.c_str(), &sectors, &bytes, &free_clusters, &clusters)) {
    state.cluster_size = sectors * bytes;
  } else {
    state.cluster_size = 4096;
  }
  using GetDiskFreeSpaceExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  auto get_free = LoadProc<GetDiskFreeSpaceExFn>(::GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA");
  ULARGE_INTEGER available{}, total{}, free{};
  if (get_free == nullptr || !get_free(path.c_str(), &available, &total, &free)) return std::nullopt;
  return static_cast<std::uint32_t>(available.QuadPart / 1048576);
}

bool DriveExists(const std::string& folder) {
  if (folder.size() < 2 || folder[1] != ':') return true;
  return ::GetDriveTypeA((folder.substr(0, 2) + "\\").c_str()) != DRIVE_NO_ROOT_DIR;
}

}  // namespace inst::win
