// The volumes the Computer folder shows, read from the kernel's mount table
// (/proc/self/mountinfo). The source is injectable so tests describe their own
// mounts; the list is cached until Invalidate (drive validation) or a new source.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace shellns {

struct MountEntry {
  std::string mountPoint;  // unescaped, raw bytes
  std::string fsType;
  std::string source;
  uint64_t device = 0;     // major:minor as makedev would give
};

struct Volume {
  std::string mountPoint;
  std::string fsType;
  uint8_t flags = 0;       // VolumeFlags of item_id.h
};

class MountTable {
 public:
  // The file read for the table; "" restores /proc/self/mountinfo.
  static void SetSource(const std::string& path);
  static std::string Source();

  // Parses mountinfo text; malformed lines are skipped.
  static std::vector<MountEntry> Parse(const std::string& text);

  // The root file system first, then the user's volumes (under /media, /run/media,
  // /mnt or home, and network mounts anywhere), in mount-point byte order; pseudo
  // file systems are left out and a mount point mounted over counts once.
  static std::vector<Volume> Volumes();
  static void Invalidate();

  // The volume whose mount point holds `path` (the longest match); the root file
  // system when none does.
  static Volume VolumeOf(const std::string& path);
  // The mount point of the mount holding `path`, over all mounts (pseudo ones too).
  static std::string MountPointOf(const std::string& path);
};

}  // namespace shellns
