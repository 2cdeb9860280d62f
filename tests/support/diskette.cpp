#include "support/diskette.h"

#include <windows.h>

#include <cctype>
#include <stdexcept>

#include "support/unix_path.h"
#include "support/wine_fixture.h"

namespace {

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

Diskette::Diskette(char letter, const std::string& scratchDirectory) : letter_(letter) {
  folder_ = scratchDirectory + "disquette-" + std::string(1, letter) + "\\";
  CreateDirectoryA(folder_.c_str(), nullptr);
  Link(UnixPathOf(folder_));
}

Diskette::Diskette(char letter, const std::string& scratchDirectory, int kilobytes) : letter_(letter) {
  // The drive shows a folder inside the mount, not the mount itself: Wine
  // takes a mount point for a fixed disk of its own.
  mountPoint_ = scratchDirectory + "lecteur-" + std::string(1, letter) + "\\";
  CreateDirectoryA(mountPoint_.c_str(), nullptr);
  const std::string point = UnixPathOf(mountPoint_);
  mounted_ = RunHostCommand("mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k tmpfs " + Quoted(point) +
                            " && mkdir " + Quoted(point + "/disque")) == 0;
  folder_ = mountPoint_ + "disque\\";
  if (mounted_) Link(point + "/disque");
}

Diskette::~Diskette() {
  if (!link_.empty()) RunHostCommand("rm -f " + Quoted(link_));
  if (mounted_) {
    const std::string point = UnixPathOf(mountPoint_);
    RunHostCommand("umount " + Quoted(point) + " 2>/dev/null || umount -l " + Quoted(point));
  }
}

bool Diskette::CanMount() {
  // The tests run as the user who runs Wine; mount needs root.
  return RunHostCommand("[ \"$(id -u)\" -eq 0 ]") == 0;
}

void Diskette::Link(const std::string& unixTarget) {
  char prefix[1024];
  if (!GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix))
    throw std::runtime_error("WINEPREFIX is not set: run the tests through make test");
  link_ = std::string(prefix) + "/dosdevices/" + static_cast<char>(std::tolower(letter_)) + ":";
  if (RunHostCommand("ln -sfn " + Quoted(unixTarget) + " " + Quoted(link_)) != 0)
    throw std::runtime_error("cannot link drive " + std::string(1, letter_));
}

void Diskette::WriteProtect() {
  if (mounted_) RunHostCommand("mount -o remount,ro " + Quoted(UnixPathOf(mountPoint_)));
}

void Diskette::TakeOut() {
  // A link to nothing: the drive is still there, without its diskette.
  RunHostCommand("ln -sfn /nonexistent/pivalune-disquette " + Quoted(link_));
}
