// Whether the user's programs hold something open inside a folder, read from /proc the way the
// kernel tells it: no shell, no lsof.
#pragma once

#include <string>

namespace platform::openfiles {

// `root` + `inside` named as the kernel names an open file there: the folder that holds `root`
// with its symbolic links resolved, then the rest as written. Nothing at or below `root` is
// looked at, so a network file system mounted there is never asked.
std::string KernelPath(const std::string& root, const std::string& inside = {});

// True when a process of this user has an open file, a file mapped into its memory, its working
// folder or its program at or under `kernelPath`.
bool InUse(const std::string& kernelPath);

}  // namespace platform::openfiles
