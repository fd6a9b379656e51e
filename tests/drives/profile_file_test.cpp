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

struct Read {
    const char* section;
    const char* key;
    std::string value;
};

TEST(ProfileRead, NamesQuotesLineShapesAndOlderEncodingsReadAsOnWindows) {
    const std::pair<QByteArray, std::vector<Read>> files[] = {
        // Names match without case or blanks, and the first duplicate wins.
        {"[ Unidades ]\r\n  unidad1 \t=  \\\\srv\\docs \t\r\nLetra1=J:\r\nLETRA1=K:\r\n"
         "JUNK LINE\r\n[unidades]\r\nK2=other section\r\n",
         {{"UNIDADES", "UNIDAD1", "\\\\srv\\docs"},
          {"unidades", "LETRA1", "J:"},
          {"UNIDADES", "JUNK LINE", "-"},
          {"UNIDADES", "K2", "-"},
          {"OTRA", "UNIDAD1", "-"}}},
        // One pair of outer quotes goes, and every line ending ends a line.
        {"[S]\rA=\"quoted\"\rB='single'\r\nC=\"\"twice\"\"\nD=\"open\nE=\" \"\nF=4",
         {{"S", "A", "quoted"},
          {"S", "B", "single"},
          {"S", "C", "\"twice\""},
          {"S", "D", "\"open"},
          {"S", "E", " "},
          {"S", "F", "4"}}},
        // Lines take the shapes the Windows reader gives them.
        {QByteArray("TOP=first\r\n[S\r\nK=in the open header\r\n;LETRA1=J:\r\n"
                    "[A]B] x\r\nV=abc") +
             '\0' + "def\r\nW=uv\x1Awx\r\n",
         {{"", "TOP", "first"},
          {"", "K", "in the open header"},
          {"", ";LETRA1", "J:"},
          {"", "LETRA1", "-"},
          {"S", "K", "-"},
          {"A]B", "V", "abc"},
          {"A]B", "W", "uv"}}},
        // Windows-1252 from older PCs ("Año ... €"), and UTF-8 with a BOM.
        {"[S]\nA=\\\\srv\\A\xF1o Contabilidad \x80\n", {{"S", "A", "\\\\srv\\Año Contabilidad €"}}},
        {"\xEF\xBB\xBF[S]\nA=Año\n", {{"S", "A", "Año"}}}};
    for (const auto& [file, reads] : files) {
        TempDir d;
        d.Write("a.ini", file);
        for (const Read& r : reads)
            EXPECT_EQ(Get(d.Path("a.ini"), r.section, r.key), r.value)
                << "[" << r.section << "] " << r.key << " in " << file.toStdString();
    }
}

TEST(ProfileRead, WithoutAKeyTheSectionsKeyNamesComeBackEachEndedByANulAndNoFileGivesTheDefault) {
    TempDir d;
    d.Write("a.ini", "[S]\nA=1\njunk\n Letra1 = J:\n=x\n[T]\nB=2\n");
    EXPECT_EQ(Get(d.Path("a.ini"), "s", nullptr), std::string("A\0Letra1\0", 9));
    EXPECT_EQ(Get(d.Path("a.ini"), "U", nullptr), "");
    EXPECT_EQ(Get(d.Path("none.ini"), "S", "A", "dflt"), "dflt") << "a missing file";
}

TEST(ProfileRead, ALongValueIsCutToBufferSizeMinusOneWithoutSplittingACharacter) {
    TempDir d;
    d.Write("a.ini", "[S]\nA=" + QByteArray(300, 'x') + "\nB=" + QByteArray(253, 'y') + "ñ\n");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "A", "", 255), std::string(254, 'x'));
    // "ñ" takes two bytes and would not fit whole in the last free byte.
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "B", "", 255), std::string(253, 'y'));
}

TEST(ProfileWrite, ChangesInPlaceAppendsAtSectionEndAndLeavesTheRestAlone) {
    TempDir d;
    d.Write("a.ini", "; kept\n[OTRA]\nX=1\n\n[unidades]\nletra1=K:\nMAPEAR1=0\n\n[FIN]\nY=2");
    ASSERT_TRUE(Put(d.Path("a.ini"), "UNIDADES", "LETRA1", "J:"));
    ASSERT_TRUE(Put(d.Path("a.ini"), "UNIDADES", "UNIDAD2", "\\\\b\\c"));
    ASSERT_TRUE(Put(d.Path("a.ini"), "FIN", "Z", "3"));
    EXPECT_EQ(d.Read("a.ini"),
              "; kept\n[OTRA]\nX=1\n\n[unidades]\nLETRA1=J:\nMAPEAR1=0\nUNIDAD2=\\\\b\\c\r\n\n"
              "[FIN]\nY=2\r\nZ=3\r\n");
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
