// The INI rules that files written on Windows PCs rely on, against real files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <tuple>

#include "platform/filesystem.h"
#include "platform/profile.h"
#include "support/support.h"

namespace {

using support::TempDir;

std::string Get(const std::string& file, const char* section, const char* key) {
    std::string buf(256, '#');
    const platform::DWORD n =
        platform::GetPrivateProfileStringA(section, key, "-", buf.data(), 255, file.c_str());
    return buf.substr(0, n);
}

bool Put(const std::string& file, const char* section, const char* key, const char* value) {
    return platform::WritePrivateProfileStringA(section, key, value, file.c_str()) != 0;
}

TEST(ProfileRead, NamesCommentsAndOlderEncodingsReadAsOnWindows) {
    TempDir d;
    // Names match without case or blanks, the first duplicate wins, a ';' hides a key.
    d.Write("a.ini",
            "[ Unidades ]\r\n  unidad1 \t=  \"\\\\srv\\docs\" \t\r\nLetra1=J:\r\n"
            "LETRA1=K:\r\n;MAPEAR1=1\r\n[unidades]\r\nK2=other section\r\n");
    EXPECT_EQ(Get(d.Path("a.ini"), "UNIDADES", "UNIDAD1"), "\\\\srv\\docs");
    EXPECT_EQ(Get(d.Path("a.ini"), "unidades", "LETRA1"), "J:");
    EXPECT_EQ(Get(d.Path("a.ini"), "UNIDADES", "MAPEAR1"), "-");
    EXPECT_EQ(Get(d.Path("a.ini"), "UNIDADES", "K2"), "-");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", nullptr), "") << "no section, no key names";
    // Windows-1252 from older PCs ("Año ... €"), and UTF-8 with a BOM.
    d.Write("b.ini", "[S]\nA=\\\\srv\\A\xF1o Contabilidad \x80\n");
    EXPECT_EQ(Get(d.Path("b.ini"), "S", "A"), "\\\\srv\\Año Contabilidad €");
    EXPECT_EQ(Get(d.Path("b.ini"), "s", nullptr), std::string("A\0", 2));
    d.Write("c.ini", "\xEF\xBB\xBF[S]\nA=Año\n");
    EXPECT_EQ(Get(d.Path("c.ini"), "S", "A"), "Año");
}

TEST(ProfileWrite, ALineBreakInAValueNeverMakesASecondKeyAndUtf8IsWritten) {
    TempDir d;
    d.Write("a.ini", "[S]\nA=A\xF1o\n");
    ASSERT_TRUE(Put(d.Path("a.ini"), "S", "B", "one\r\nMAPEAR1=1\nx\ry"));
    ASSERT_TRUE(Put(d.Path("a.ini"), "S", "C", "\\\\srv\\Año"));
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "MAPEAR1"), "-");
    EXPECT_EQ(d.Read("a.ini"),
              "[S]\nA=A\xC3\xB1o\nB=one MAPEAR1=1 x y\r\nC=\\\\srv\\A\xC3\xB1o\r\n");
}

TEST(ProfileWrite, AFailureLeavesNoFileAndGivesTheSystemsReason) {
    TempDir d;
    EXPECT_FALSE(Put(d.Path("missing/dir/a.ini"), "S", "A", "1"));
    EXPECT_EQ(platform::SystemProfileFile().GetLastError(), platform::DWORD(ENOENT));
    EXPECT_FALSE(d.Exists("missing"));
}

// A mapping file that is a pipe would block the reader that opened it.
TEST(SystemFiles, APipeWhereAFileShouldBeIsRefusedUnopenedAsNotANormalFile) {
    TempDir d;
    ASSERT_EQ(::mkfifo(d.Path("MAPEO.INI").c_str(), 0644), 0);
    const platform::Status s = platform::SystemFileSystem().CanReadFile(d.Path("MAPEO.INI"));
    EXPECT_EQ(std::tuple(s.reason, s.targetExists), std::tuple("no es un fichero normal", true));
}

}  // namespace
