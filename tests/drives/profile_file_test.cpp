// The INI rules that files written on Windows PCs rely on, against real files.
#include <gtest/gtest.h>

#include <string>

#include "platform/profile.h"
#include "support/tempdir.h"

namespace {

using testing_support::TempDir;

std::string Get(const std::string& file, const char* section, const char* key, const char* def = "",
                platform::DWORD size = 255, platform::DWORD* count = nullptr) {
    std::string buf(size + 8, '#');
    const platform::DWORD n =
        platform::GetPrivateProfileStringA(section, key, def, buf.data(), size, file.c_str());
    if (count)
        *count = n;
    EXPECT_EQ(buf[n], '\0') << "value must be NUL-terminated";
    return buf.substr(0, n);
}

bool Put(const std::string& file, const char* section, const char* key, const char* value) {
    return platform::WritePrivateProfileStringA(section, key, value, file.c_str()) != 0;
}

TEST(ProfileRead, MatchesNamesWithoutCaseAndIgnoresBlanksAroundThem) {
    TempDir d;
    d.Write("a.ini", "[ Unidades ]\r\n  unidad1 \t=  \\\\srv\\docs \t\r\nLetra1=J:\r\n");
    EXPECT_EQ(Get(d.Path("a.ini"), "UNIDADES", "UNIDAD1"), "\\\\srv\\docs");
    EXPECT_EQ(Get(d.Path("a.ini"), "unidades", "LETRA1"), "J:");
}

TEST(ProfileRead, FirstDuplicateWinsAndLinesWithoutEqualsAreNoKeys) {
    TempDir d;
    d.Write("a.ini",
            "[S]\nK=first\nK=second\nJUNK LINE\n;K2=comment\n[s]\nK2=other section\nK3=x\n");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "K"), "first");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "JUNK LINE", "def"), "def");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "K2", "def"), "def") << "only the first [S] counts";
    EXPECT_EQ(Get(d.Path("a.ini"), "S", ";K2", "def"), "def");
}

TEST(ProfileRead, RemovesOnePairOfMatchingOuterQuotes) {
    TempDir d;
    d.Write("a.ini", "[S]\nA=\"quoted\"\nB='single'\nC=\"\"twice\"\"\nD=\"open\nE=\" \"\n");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "A"), "quoted");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "B"), "single");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "C"), "\"twice\"");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "D"), "\"open");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "E"), " ");
}

TEST(ProfileRead, EveryLineEndingEndsALine) {
    TempDir d;
    d.Write("a.ini", "[S]\rA=1\rB=2\r\nC=3\nD=4");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "A"), "1");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "B"), "2");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "C"), "3");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "D"), "4");
}

TEST(ProfileRead, MissingFileSectionOrKeyGiveTheDefault) {
    TempDir d;
    d.Write("a.ini", "[S]\nA=1\n");
    EXPECT_EQ(Get(d.Path("none.ini"), "S", "A", "dflt"), "dflt");
    EXPECT_EQ(Get(d.Path("a.ini"), "T", "A", "dflt"), "dflt");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "B", ""), "");
}

TEST(ProfileRead, LongValueIsCutToBufferSizeMinusOneWithoutSplittingACharacter) {
    TempDir d;
    d.Write("a.ini", "[S]\nA=" + QByteArray(300, 'x') + "\nB=" + QByteArray(253, 'y') + "ñ\n");
    platform::DWORD n = 0;
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "A", "", 255, &n), std::string(254, 'x'));
    EXPECT_EQ(n, 254u);
    // "ñ" takes two bytes and would not fit whole in the last free byte.
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "B", "", 255), std::string(253, 'y'));
}

TEST(ProfileRead, Windows1252FilesFromOlderPcsReadAsTheirCharacters) {
    TempDir d;
    d.Write("a.ini", "[S]\nA=\\\\srv\\A\xF1o Contabilidad \x80\n");  // "Año ... €" in 1252
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "A"), "\\\\srv\\Año Contabilidad €");
    d.Write("b.ini", "\xEF\xBB\xBF[S]\nA=Año\n");  // UTF-8 with a byte-order mark
    EXPECT_EQ(Get(d.Path("b.ini"), "S", "A"), "Año");
}

TEST(ProfileWrite, CreatesFileAndSectionWithCrlfLines) {
    TempDir d;
    ASSERT_TRUE(Put(d.Path("n.ini"), "UNIDADES", "UNIDAD1", "\\\\srv\\docs"));
    ASSERT_TRUE(Put(d.Path("n.ini"), "UNIDADES", "LETRA1", "J:"));
    EXPECT_EQ(d.Read("n.ini"), "[UNIDADES]\r\nUNIDAD1=\\\\srv\\docs\r\nLETRA1=J:\r\n");
}

TEST(ProfileWrite, ChangesInPlaceAppendsAtSectionEndAndLeavesTheRestAlone) {
    TempDir d;
    d.Write("a.ini",
            "; kept comment\n[OTRA]\nX=1\n\n[unidades]\nletra1=K:\nMAPEAR1=0\n\n[FIN]\nY=2");
    ASSERT_TRUE(Put(d.Path("a.ini"), "UNIDADES", "LETRA1", "J:"));
    ASSERT_TRUE(Put(d.Path("a.ini"), "UNIDADES", "UNIDAD2", "\\\\b\\c"));
    EXPECT_EQ(d.Read("a.ini"),
              "; kept comment\n[OTRA]\nX=1\n\n[unidades]\nLETRA1=J:\nMAPEAR1=0\n"
              "UNIDAD2=\\\\b\\c\r\n\n[FIN]\nY=2");
    ASSERT_TRUE(Put(d.Path("a.ini"), "FIN", "Z", "3"));
    EXPECT_TRUE(d.Read("a.ini").endsWith("[FIN]\nY=2\r\nZ=3\r\n"));
}

TEST(ProfileWrite, ALineBreakInAValueNeverMakesASecondKey) {
    TempDir d;
    ASSERT_TRUE(Put(d.Path("a.ini"), "S", "A", "one\r\nMAPEAR1=1\nx\ry"));
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "MAPEAR1", "none"), "none");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "A"), "one MAPEAR1=1 x y");
}

TEST(ProfileWrite, ValuesComeBackAsWindowsReadsThem) {
    TempDir d;
    ASSERT_TRUE(Put(d.Path("a.ini"), "S", "BLANK", " "));
    ASSERT_TRUE(Put(d.Path("a.ini"), "S", "PATH", "\\\\srv\\Año"));
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "BLANK", "x"), "");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "PATH"), "\\\\srv\\Año");
    EXPECT_EQ(d.Read("a.ini"), "[S]\r\nBLANK= \r\nPATH=\\\\srv\\A\xC3\xB1o\r\n");
}

TEST(ProfileWrite, Windows1252FileIsRewrittenAsUtf8WithItsTextIntact) {
    TempDir d;
    d.Write("a.ini", "[S]\nA=A\xF1o\n");
    ASSERT_TRUE(Put(d.Path("a.ini"), "S", "B", "1"));
    EXPECT_EQ(d.Read("a.ini"), "[S]\nA=A\xC3\xB1o\nB=1\r\n");
}

TEST(ProfileWrite, FailureLeavesTheFileAndGivesAReason) {
    TempDir d;
    EXPECT_FALSE(Put(d.Path("missing/dir/a.ini"), "S", "A", "1"));
    EXPECT_FALSE(platform::SystemProfileFile().GetLastErrorText().empty());
}

}  // namespace
