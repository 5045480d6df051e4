#pragma once

// File systems the move tests mount for themselves: a small tmpfs (to fill up, or
// read-only) and a case-insensitive vfat image. Mounting needs root; a test that cannot
// mount skips and says why.

#include "temp_dir.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tressel::test {

class ScratchMount {
public:
    // A tmpfs on `folder` (which must exist) with the given mount options.
    static std::unique_ptr<ScratchMount> tmpfs(const std::string& folder, const char* options,
                                               unsigned long flags, std::string* why) {
        if (::mount("tmpfs", folder.c_str(), "tmpfs", flags, options) != 0) {
            *why = "cannot mount a tmpfs here (needs root and mount rights)";
            return nullptr;
        }
        return std::unique_ptr<ScratchMount>(new ScratchMount(folder));
    }

    // A fresh vfat image of 1 MiB in `scratch`, mounted through a loop device on `folder`.
    static std::unique_ptr<ScratchMount> vfat(const TempDir& scratch, const std::string& folder,
                                              std::string* why) {
        const std::string image = scratch.file("fat.img");
        const std::string make =
            "truncate -s 1M '" + image + "' && mkfs.vfat '" + image + "' >/dev/null 2>&1";
        if (std::system(make.c_str()) != 0) {
            *why = "cannot make a vfat image (mkfs.vfat from dosfstools missing)";
            return nullptr;
        }
        const std::string mount = "mount -o loop '" + image + "' '" + folder + "' 2>/dev/null";
        if (std::system(mount.c_str()) != 0) {
            *why = "cannot mount a vfat image (needs root, a loop device and vfat in the kernel)";
            return nullptr;
        }
        return std::unique_ptr<ScratchMount>(new ScratchMount(folder));
    }

    ~ScratchMount() { ::umount2(m_folder.c_str(), MNT_DETACH); }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

private:
    explicit ScratchMount(std::string folder) : m_folder(std::move(folder)) {}
    std::string m_folder;
};

inline bool OnSameFileSystem(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

} // namespace tressel::test
