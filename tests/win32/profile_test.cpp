// Windows' own GetPrivateProfileStringA and WritePrivateProfileStringA behind the profile
// service: the results, codes and bytes the mapping file relies on.
#include <gtest/gtest.h>

#include <string>

#include "platform/profile.h"
#include "platform/win32/winapi.h"
#include "support/support.h"

namespace {

using support::TempDir;

std::string Get(const std::string& file, const char* section, const char* key,
                const char* def = "-", platform::DWORD size = 255) {
    std::string buf(size + 8, '#');
    const platform::DWORD n =
        platform::GetPrivateProfileStringA(section, key, def, buf.data(), size, file.c_str());
    EXPECT_EQ(buf[n], '\0') << "value must be NUL-terminated";
    return buf.substr(0, n);
}

bool Put(const std::string& file, const char* section, const char* key, const char* value) {
    return platform::WritePrivateProfileStringA(section, key, value, file.c_str()) != 0;
}

TEST(ProfileRead, NamesMatchWithoutCaseDefaultsFillGapsAndLongValuesAreCut) {
    TempDir d;
    d.Write("a.ini",
            "[ Unidades ]\r\n  unidad1 \t=  \\\\srv\\A\xF1o \t\r\nLetra1=J:\r\nLETRA1=K:\r\n"
            "L=" +
                QByteArray(300, 'x') + "\r\n");
    EXPECT_EQ(Get(d.Path("a.ini"), "UNIDADES", "UNIDAD1"), "\\\\srv\\A\xF1o")
        << "bytes come back in the code page they were written in";
    EXPECT_EQ(Get(d.Path("a.ini"), "unidades", "LETRA1"), "J:");
    EXPECT_EQ(Get(d.Path("a.ini"), "UNIDADES", "L", "", 255), std::string(254, 'x'));
    EXPECT_EQ(Get(d.Path("a.ini"), "OTRA", "UNIDAD1", "dflt"), "dflt");
    EXPECT_EQ(Get(d.Path("none.ini"), "S", "A", ""), "");
}

TEST(ProfileWrite, CreatesCrlfLinesAndALineBreakInAValueNeverMakesASecondKey) {
    TempDir d;
    ASSERT_TRUE(Put(d.Path("n.ini"), "UNIDADES", "UNIDAD1", "\\\\srv\\docs"));
    ASSERT_TRUE(Put(d.Path("n.ini"), "UNIDADES", "LETRA1", "J:\r\nMAPEAR1=1\nx"));
    EXPECT_EQ(d.Read("n.ini").toStdString(),
              "[UNIDADES]\r\nUNIDAD1=\\\\srv\\docs\r\nLETRA1=J: MAPEAR1=1 x\r\n");
    EXPECT_EQ(Get(d.Path("n.ini"), "UNIDADES", "MAPEAR1"), "-");
}

TEST(ProfileWrite, AFailureLeavesNoFileAndGivesTheSystemsCode) {
    TempDir d;
    EXPECT_FALSE(Put(d.Path("missing/dir/a.ini"), "S", "A", "1"));
    EXPECT_EQ(platform::SystemProfileFile().GetLastError(), platform::DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(d.Exists("missing"));
}

}  // namespace
