// Where the Linux back end looks for an administrator's table: $XDG_CONFIG_DIRS in order,
// relative entries ignored (they would depend on the folder the program starts in), /etc/xdg
// when it is not set.
#include <gtest/gtest.h>

#include <QByteArray>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace {

using Paths = std::vector<std::string>;

TEST(SystemMappingFiles, FollowXdgConfigDirsInOrderAndIgnoreRelativeEntries) {
    const QByteArray saved = qgetenv("XDG_CONFIG_DIRS");
    qputenv("XDG_CONFIG_DIRS", "etc0:/srv/etc1/:/etc2");
    EXPECT_EQ(platform::SystemMappingFilePaths(),
              (Paths{"/srv/etc1/mapeo/MAPEO.INI", "/etc2/mapeo/MAPEO.INI"}));
    qunsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(platform::SystemMappingFilePaths(), Paths{"/etc/xdg/mapeo/MAPEO.INI"});
    if (!saved.isNull())
        qputenv("XDG_CONFIG_DIRS", saved);
}

}  // namespace
