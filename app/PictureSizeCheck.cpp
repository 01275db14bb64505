#include "app/PictureSizeCheck.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "core/CalculationControl.h"
#include "core/NumberText.h"

namespace vantorel {

PictureNeeds NeedsOfPicture(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return {};
  const uint64_t pixels = uint64_t(width) * uint64_t(height);
  return {PictureBytes(width, height) + pixels * 4, pixels * 2 * sizeof(double)};
}

namespace {

// MemAvailable of the kernel's memory report (what can be had without swapping), else the
// free physical pages.
uint64_t AvailableMemory() {
  std::ifstream meminfo("/proc/meminfo");
  std::string line;
  while (std::getline(meminfo, line)) {
    std::istringstream fields(line);
    std::string key;
    uint64_t kilobytes = 0;
    if (fields >> key >> kilobytes && key == "MemAvailable:") return kilobytes * 1024;
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
  return pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : UINT64_MAX;
}

}  // namespace

MachineRoom ProbeMachineRoom(const std::string& dir) {
  MachineRoom room;
  room.FreeMemory = AvailableMemory();
  struct statvfs fs {};
  if (statvfs(dir.c_str(), &fs) == 0) room.FreeDisk = uint64_t(fs.f_bavail) * uint64_t(fs.f_frsize);
  return room;
}

std::string ByteText(uint64_t bytes) {
  static const char* const units[] = {"KB", "MB", "GB", "TB"};
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  double value = double(bytes) / 1024;
  int unit = 0;
  while (value >= 1024 && unit < 3) value /= 1024, ++unit;
  return FixedText(value, 1) + " " + units[unit];
}

SizeJudgement JudgePictureSize(int32_t width, int32_t height, uint64_t screenPixels, const MachineRoom& room,
                               const std::function<std::optional<double>()>& seconds) {
  const uint64_t pixels = width > 0 && height > 0 ? uint64_t(width) * uint64_t(height) : 0;
  const PictureNeeds needs = NeedsOfPicture(width, height);
  const std::string size = "A picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
  const std::string figures = " needs " + ByteText(needs.MemoryBytes) + " of memory and " + ByteText(needs.DiskBytes) +
                              " of disk space for its data";
  const bool memory = needs.MemoryBytes > room.FreeMemory, disk = needs.DiskBytes > room.FreeDisk;
  if (memory || disk) {
    const auto known = [](uint64_t bytes) { return bytes == UINT64_MAX ? std::string("?") : ByteText(bytes); };
    return {SizeVerdict::Refuse,
            size + (memory ? " does not fit into memory:" : " does not fit into the temporary directory:") + " it" +
                figures + "; free are " + known(room.FreeMemory) + " of memory and " + known(room.FreeDisk) +
                " in the temporary directory.\nThe picture size was left as it was."};
  }
  if (pixels <= 4 * screenPixels) return {};
  const std::optional<double> s = seconds ? seconds() : std::nullopt;
  const std::string time = s && std::isfinite(*s) && *s >= 0
                               ? " and takes about " + RemainingTimeText(int64_t(std::llround(*s))) + " to compute"
                               : std::string();
  return {SizeVerdict::Ask, size + " is larger than four screens. It" + figures + time + ".\nUse this size anyway?"};
}

}  // namespace vantorel
