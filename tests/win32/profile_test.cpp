// The cases of the Linux reader's test, against Windows' own GetPrivateProfileStringA and
// WritePrivateProfileStringA: what files written on Windows PCs look like to the real reader.
// Wine reads as Windows does but for a Ctrl-Z inside a value, and writes otherwise: it drops
// the blanks that start a value and writes the whole file afresh from what it read (CRLF line
// ends, no blank lines, a changed key keeping the file's spelling) where Windows changes the
// one line. Those cases name both answers and check the one of the system they run on.
#include <gtest/gtest.h>

#include <string>

#include "platform/profile.h"
#include "support/support.h"
#include "win32/wine.h"

namespace {

using support::On_Windows_Or_Wine;
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

void ExpectReads(const QByteArray& file, std::initializer_list<Read> reads) {
    TempDir d;
    d.Write("a.ini", file);
    for (const Read& r : reads)
        EXPECT_EQ(Get(d.Path("a.ini"), r.section, r.key), r.value)
            << "[" << r.section << "] " << r.key << " in " << file.toStdString();
}

TEST(ProfileRead, NamesMatchWithoutCaseOrBlanksAndTheFirstDuplicateWins) {
    ExpectReads(
        "[ Unidades ]\r\n  unidad1 \t=  \\\\srv\\docs \t\r\nLetra1=J:\r\nLETRA1=K:\r\n"
        "JUNK LINE\r\n[unidades]\r\nK2=other section\r\n",
        {{"UNIDADES", "UNIDAD1", "\\\\srv\\docs"},
         {"unidades", "LETRA1", "J:"},
         {"UNIDADES", "JUNK LINE", "-"},
         {"UNIDADES", "K2", "-"},
         {"OTRA", "UNIDAD1", "-"}});
}

TEST(ProfileRead, OnePairOfOuterQuotesGoesAndEveryLineEndingEndsALine) {
    ExpectReads("[S]\rA=\"quoted\"\rB='single'\r\nC=\"\"twice\"\"\nD=\"open\nE=\" \"\nF=4",
                {{"S", "A", "quoted"},
                 {"S", "B", "single"},
                 {"S", "C", "\"twice\""},
                 {"S", "D", "\"open"},
                 {"S", "E", " "},
                 {"S", "F", "4"}});
}

TEST(ProfileRead, LinesTakeTheShapesTheWindowsReaderGivesThem) {
    ExpectReads(QByteArray("TOP=first\r\n[S\r\nK=in the open header\r\n;LETRA1=J:\r\n"
                           "[A]B] x\r\nV=abc") +
                    '\0' + "def\r\nW=uv\x1Awx\r\n",
                {{"", "TOP", "first"},
                 {"", "K", "in the open header"},
                 {"", ";LETRA1", "J:"},
                 {"", "LETRA1", "-"},
                 {"S", "K", "-"},
                 {"A]B", "V", "abc"},
                 {"A]B", "W", On_Windows_Or_Wine<std::string>("uv", "uv\x1Awx")}});
}

TEST(ProfileRead, AMissingFileSectionOrKeyGivesTheDefault) {
    TempDir d;
    d.Write("a.ini", "[S]\nA=1\n");
    EXPECT_EQ(Get(d.Path("none.ini"), "S", "A", "dflt"), "dflt");
    EXPECT_EQ(Get(d.Path("a.ini"), "T", "A", "dflt"), "dflt");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "B", ""), "");
}

TEST(ProfileRead, ALongValueIsCutToBufferSizeMinusOne) {
    TempDir d;
    d.Write("a.ini", "[S]\nA=" + QByteArray(300, 'x') + "\n");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "A", "", 255), std::string(254, 'x'));
}

TEST(ProfileRead, BytesComeBackInTheCodePageTheyWereWritten) {
    // A file from an older PC, in Windows-1252: the ANSI reader hands its bytes back as they
    // stand, and the program reads them in the same code page.
    ExpectReads("[S]\nA=\\\\srv\\A\xF1o Contabilidad \x80\n",
                {{"S", "A", "\\\\srv\\A\xF1o Contabilidad \x80"}});
}

TEST(ProfileWrite, CreatesFileAndSectionWithCrlfLinesKeepingTheSectionNameAsGiven) {
    TempDir d;
    ASSERT_TRUE(Put(d.Path("n.ini"), "UNIDADES", "UNIDAD1", "\\\\srv\\docs"));
    ASSERT_TRUE(Put(d.Path("n.ini"), "UNIDADES", "LETRA1", "J:"));
    ASSERT_TRUE(Put(d.Path("n.ini"), "OTRA ", "X", " "));
    EXPECT_EQ(d.Read("n.ini").toStdString(),
              "[UNIDADES]\r\nUNIDAD1=\\\\srv\\docs\r\nLETRA1=J:\r\n[OTRA ]\r\nX=" +
                  On_Windows_Or_Wine<std::string>(" ", "") + "\r\n");
    EXPECT_EQ(Get(d.Path("n.ini"), "OTRA", "X", "x"), "");
}

TEST(ProfileWrite, ChangesInPlaceAppendsAtSectionEndAndLeavesTheRestAlone) {
    TempDir d;
    d.Write("a.ini", "; kept\n[OTRA]\nX=1\n\n[unidades]\nletra1=K:\nMAPEAR1=0\n\n[FIN]\nY=2");
    ASSERT_TRUE(Put(d.Path("a.ini"), "UNIDADES", "LETRA1", "J:"));
    ASSERT_TRUE(Put(d.Path("a.ini"), "UNIDADES", "UNIDAD2", "\\\\b\\c"));
    ASSERT_TRUE(Put(d.Path("a.ini"), "FIN", "Z", "3"));
    EXPECT_EQ(d.Read("a.ini").toStdString(),
              On_Windows_Or_Wine<std::string>(
                  "; kept\n[OTRA]\nX=1\n\n[unidades]\nLETRA1=J:\nMAPEAR1=0\nUNIDAD2=\\\\b\\c\r\n\n"
                  "[FIN]\nY=2\r\nZ=3\r\n",
                  "; kept\r\n[OTRA]\r\nX=1\r\n[unidades]\r\nletra1=J:\r\nMAPEAR1=0\r\n"
                  "UNIDAD2=\\\\b\\c\r\n[FIN]\r\nY=2\r\nZ=3\r\n"));
}

TEST(ProfileWrite, ALineBreakInAValueNeverMakesASecondKey) {
    TempDir d;
    d.Write("a.ini", "[S]\r\nA=1\r\n");
    ASSERT_TRUE(Put(d.Path("a.ini"), "S", "B", "one\r\nMAPEAR1=1\nx\ry"));
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "MAPEAR1"), "-");
    EXPECT_EQ(Get(d.Path("a.ini"), "S", "B"), "one MAPEAR1=1 x y");
}

TEST(ProfileWrite, AFailureLeavesNoFileAndGivesTheSystemsReason) {
    TempDir d;
    EXPECT_FALSE(Put(d.Path("missing/dir/a.ini"), "S", "A", "1"));
    EXPECT_EQ(platform::SystemProfileFile().GetLastError(), platform::DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(d.Exists("missing"));
}

}  // namespace
