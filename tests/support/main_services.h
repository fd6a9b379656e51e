// The main window's services over real files in a throw-away folder, the rest as given.
#pragma once

#include "drives/frmmain.h"
#include "platform/filesystem.h"
#include "platform/profile.h"
#include "support/support.h"

namespace support {

// The mapping file is dir's cfg/MAPEO.INI.
inline drives::MainServices OnFiles(const TempDir& dir, platform::NetConnections& net,
                                    platform::Shell& shell, platform::WindowServices& ui) {
    return {platform::SystemProfileFile(),
            platform::SystemFileSystem(),
            net,
            shell,
            ui,
            {dir.Path("cfg"), dir.Path("cfg/MAPEO.INI"), dir.Path("cfg/MAPEO.BAK")}};
}

}  // namespace support
