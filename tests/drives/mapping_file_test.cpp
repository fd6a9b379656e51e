// The mapping file as the main window reads and saves it, on real files.
#include <gtest/gtest.h>

#include "drives/apperror.h"
#include "drives/mappingfile.h"
#include "platform/filesystem.h"
#include "platform/profile.h"
#include "support/fakes.h"
#include "support/tempdir.h"

namespace {

using drives::MappingFile;
using drives::MappingRow;
using drives::RowCount;
using testing_support::FakeWindowServices;
using testing_support::TempDir;

std::array<MappingRow, RowCount> DefaultRows() {
    std::array<MappingRow, RowCount> rows;
    const char* devices[] = {
        "J:", "K:", "L:", "M:", "N:", "O:", "P:", "Q:", "R:", "LPT1:", "LPT2:", "LPT3:"};
    for (int i = 0; i < RowCount; ++i) {
        rows[i].path =
            i == 0 ? QStringLiteral("\\\\servidor\\unidad a conectar") : QStringLiteral(" ");
        rows[i].device = QString::fromLatin1(devices[i]);
    }
    return rows;
}

QByteArray DefaultFile() {
    QByteArray s = "[UNIDADES]\r\n";
    const char* devices[] = {
        "J:", "K:", "L:", "M:", "N:", "O:", "P:", "Q:", "R:", "LPT1:", "LPT2:", "LPT3:"};
    for (int n = 1; n <= RowCount; ++n) {
        s += "UNIDAD" + QByteArray::number(n) + "=" +
             (n == 1 ? QByteArray("\\\\servidor\\unidad a conectar") : QByteArray(" ")) + "\r\n";
        s += "LETRA" + QByteArray::number(n) + "=" + devices[n - 1] + "\r\n";
        s += "MAPEAR" + QByteArray::number(n) + "=0\r\n";
    }
    return s;
}

// Fails a chosen number of writes, then behaves as the real file.
class FlakyProfile : public platform::ProfileFile {
public:
    int failuresLeft = 0;
    int writes = 0;
    platform::DWORD GetPrivateProfileStringA(platform::LPCSTR a, platform::LPCSTR k,
                                             platform::LPCSTR d, platform::LPSTR r,
                                             platform::DWORD n, platform::LPCSTR f) override {
        return platform::SystemProfileFile().GetPrivateProfileStringA(a, k, d, r, n, f);
    }
    platform::BOOL WritePrivateProfileStringA(platform::LPCSTR a, platform::LPCSTR k,
                                              platform::LPCSTR v, platform::LPCSTR f) override {
        ++writes;
        if (failuresLeft > 0) {
            --failuresLeft;
            return 0;
        }
        return platform::SystemProfileFile().WritePrivateProfileStringA(a, k, v, f);
    }
    std::string GetLastErrorText() const override { return "no queda espacio en el disco"; }
};

class NoReplaceFileSystem : public platform::FileSystem {
public:
    platform::FileSystem& real = platform::SystemFileSystem();
    bool NormalFileExists(const std::string& p) override { return real.NormalFileExists(p); }
    bool CopyFileNoReplace(const std::string& a, const std::string& b) override {
        return real.CopyFileNoReplace(a, b);
    }
    bool ReplaceFile(const std::string&, const std::string&) override { return false; }
    bool DeleteFile(const std::string& p) override { return real.DeleteFile(p); }
    bool FlushFile(const std::string& p) override { return real.FlushFile(p); }
    bool MakeFolder(const std::string& p) override { return real.MakeFolder(p); }
    bool WriteWholeFile(const std::string& p, const std::string& b) override {
        return real.WriteWholeFile(p, b);
    }
    std::string LastErrorText() const override { return "permiso denegado"; }
};

struct Fixture {
    TempDir dir;
    FakeWindowServices ui;
    drives::MappingLocation where{dir.Path("cfg"), dir.Path("cfg/MAPEO.INI"),
                                  dir.Path("cfg/MAPEO.BAK")};
    QByteArray Ini() const { return dir.Read("cfg/MAPEO.INI"); }
    QByteArray Bak() const { return dir.Read("cfg/MAPEO.BAK"); }
    void WriteIni(const QByteArray& s) {
        platform::SystemFileSystem().MakeFolder(where.folder);
        dir.Write("cfg/MAPEO.INI", s);
    }
};

TEST(ReadMarkNumber, ReadsTheLeadingNumberAndRoundsHalvesToEven) {
    EXPECT_EQ(drives::ReadMarkNumber("1"), 1);
    EXPECT_EQ(drives::ReadMarkNumber(" 1 "), 1);
    EXPECT_EQ(drives::ReadMarkNumber("\t1\n"), 1);
    EXPECT_EQ(drives::ReadMarkNumber("1.4"), 1);
    EXPECT_EQ(drives::ReadMarkNumber("0.5"), 0);
    EXPECT_EQ(drives::ReadMarkNumber("1.5"), 2);
    EXPECT_EQ(drives::ReadMarkNumber("2.5"), 2);
    EXPECT_EQ(drives::ReadMarkNumber("-0.5"), 0);
    EXPECT_EQ(drives::ReadMarkNumber("7"), 7);
    EXPECT_EQ(drives::ReadMarkNumber("1 0"), 10) << "blanks inside the number are skipped";
    EXPECT_EQ(drives::ReadMarkNumber("1e1"), 10);
    EXPECT_EQ(drives::ReadMarkNumber("1x"), 1);
    EXPECT_EQ(drives::ReadMarkNumber("+1"), 1);
    EXPECT_EQ(drives::ReadMarkNumber(".6"), 1);
}

TEST(ReadMarkNumber, TextWithoutDigitsIsZero) {
    EXPECT_EQ(drives::ReadMarkNumber(""), 0);
    EXPECT_EQ(drives::ReadMarkNumber("sí"), 0);
    EXPECT_EQ(drives::ReadMarkNumber("-"), 0);
    EXPECT_EQ(drives::ReadMarkNumber("e5"), 0);
}

TEST(ReadMarkNumber, NumbersBeyondSixteenBitsAreAnOverflowErrorNotACrash) {
    for (const char* text : {"32767.5", "40000", "-32769", "1e300", "1e999"}) {
        try {
            drives::ReadMarkNumber(QString::fromLatin1(text));
            ADD_FAILURE() << text << " was accepted";
        } catch (const drives::AppError& e) {
            EXPECT_EQ(e.number, drives::ErrOverflow) << text;
        }
    }
    EXPECT_EQ(drives::ReadMarkNumber("32767.4"), 32767);
    EXPECT_EQ(drives::ReadMarkNumber("-32768"), -32768);
}

TEST(MappingFileRead, ValuesComeFromTheSectionAndLongOnesAreCutAt254) {
    Fixture f;
    f.WriteIni("[unidades]\r\nunidad1=" + QByteArray(300, 'p') + "\r\nLETRA1=J:\r\n");
    MappingFile m(platform::SystemProfileFile(), platform::SystemFileSystem(), f.ui, f.where);
    ASSERT_TRUE(m.MappingFileExists());
    EXPECT_EQ(m.ReadMappingValue("UNIDAD1"), QString(254, u'p'));
    EXPECT_EQ(m.ReadMappingValue("LETRA1"), "J:");
    EXPECT_EQ(m.ReadMappingValue("MAPEAR1"), "");
}

TEST(MappingFileRead, AFolderOrHiddenNameIsNoMappingFile) {
    Fixture f;
    MappingFile m(platform::SystemProfileFile(), platform::SystemFileSystem(), f.ui, f.where);
    EXPECT_FALSE(m.MappingFileExists());
    platform::SystemFileSystem().MakeFolder(f.where.file);
    EXPECT_FALSE(m.MappingFileExists());
}

TEST(SaveMappings, WithNeitherFileNorBackupWritesThe36KeysInRowOrder) {
    Fixture f;
    MappingFile m(platform::SystemProfileFile(), platform::SystemFileSystem(), f.ui, f.where);
    ASSERT_TRUE(m.SaveMappings(DefaultRows()));
    EXPECT_EQ(f.Ini(), DefaultFile());
    EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.BAK"));
    EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.INI.tmp"));
    EXPECT_TRUE(f.ui.messages.empty());
}

TEST(SaveMappings, FirstSaveKeepsTheOldFileAsBackupAndLaterSavesNeverReplaceIt) {
    Fixture f;
    f.WriteIni("[UNIDADES]\r\nUNIDAD1=\\\\viejo\\a\r\n; a comment the user wrote\r\n");
    const QByteArray original = f.Ini();
    MappingFile m(platform::SystemProfileFile(), platform::SystemFileSystem(), f.ui, f.where);
    auto rows = DefaultRows();
    ASSERT_TRUE(m.SaveMappings(rows));
    EXPECT_EQ(f.Bak(), original);
    EXPECT_EQ(f.Ini(), DefaultFile()) << "the new file starts afresh";

    rows[3] = {QStringLiteral("\\\\srv\\otra"), QStringLiteral("M:"), 1};
    ASSERT_TRUE(m.SaveMappings(rows));
    EXPECT_EQ(f.Bak(), original);
    EXPECT_TRUE(f.Ini().contains("UNIDAD4=\\\\srv\\otra\r\nLETRA4=M:\r\nMAPEAR4=1\r\n"));
}

TEST(SaveMappings, OnlyMarkOneIsSavedAsOne) {
    Fixture f;
    MappingFile m(platform::SystemProfileFile(), platform::SystemFileSystem(), f.ui, f.where);
    auto rows = DefaultRows();
    rows[0].mark = 1;
    rows[1].mark = 2;
    ASSERT_TRUE(m.SaveMappings(rows));
    EXPECT_EQ(m.ReadMappingValue("MAPEAR1"), "1");
    EXPECT_EQ(m.ReadMappingValue("MAPEAR2"), "0");
}

TEST(SaveMappings, FieldsAreSavedExactlyAsTheyStandAndReadBackSafely) {
    Fixture f;
    MappingFile m(platform::SystemProfileFile(), platform::SystemFileSystem(), f.ui, f.where);
    auto rows = DefaultRows();
    rows[0].path = QStringLiteral("\\\\srv\\Año & $(rm -rf ~)");
    rows[1].path = QStringLiteral("\\\\a\\b\nMAPEAR2=1");
    ASSERT_TRUE(m.SaveMappings(rows));
    EXPECT_EQ(m.ReadMappingValue("UNIDAD1"), rows[0].path);
    EXPECT_EQ(m.ReadMappingValue("MAPEAR2"), "0") << "a line break must not plant a key";
}

TEST(SaveMappings, AFailingWriteIsTriedOnceMoreThenReportedAndTheOldFileKept) {
    Fixture f;
    f.WriteIni("[UNIDADES]\r\nUNIDAD1=\\\\viejo\\a\r\n");
    const QByteArray original = f.Ini();
    FlakyProfile profile;
    profile.failuresLeft = 1000;
    MappingFile m(profile, platform::SystemFileSystem(), f.ui, f.where);
    EXPECT_FALSE(m.SaveMappings(DefaultRows()));
    EXPECT_EQ(profile.writes, 2) << "one retry, not a loop";
    EXPECT_EQ(f.Ini(), original);
    EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.INI.tmp"));
    EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.BAK")) << "nothing was replaced, so nothing backed up";
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].style, platform::vbCritical);
    EXPECT_TRUE(f.ui.messages[0].text.contains(QString::fromStdString(f.where.file)));
    EXPECT_TRUE(f.ui.messages[0].text.contains("no queda espacio en el disco"));
}

TEST(SaveMappings, APassingWriteFailureIsCoveredByTheRetry) {
    Fixture f;
    FlakyProfile profile;
    profile.failuresLeft = 1;
    MappingFile m(profile, platform::SystemFileSystem(), f.ui, f.where);
    EXPECT_TRUE(m.SaveMappings(DefaultRows()));
    EXPECT_EQ(f.Ini(), DefaultFile());
    EXPECT_TRUE(f.ui.messages.empty());
}

TEST(SaveMappings, WhenTheNewFileCannotBePutInPlaceTheOldOneStays) {
    Fixture f;
    f.WriteIni("[UNIDADES]\r\nUNIDAD1=\\\\viejo\\a\r\n");
    const QByteArray original = f.Ini();
    NoReplaceFileSystem fs;
    MappingFile m(platform::SystemProfileFile(), fs, f.ui, f.where);
    EXPECT_FALSE(m.SaveMappings(DefaultRows()));
    EXPECT_EQ(f.Ini(), original);
    EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.INI.tmp"));
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_TRUE(f.ui.messages[0].text.contains("permiso denegado"));
}

TEST(SaveMappings, AnUnwritableFolderIsReportedNotIgnored) {
    Fixture f;
    f.dir.Write("cfg", "a file where the folder should be");
    MappingFile m(platform::SystemProfileFile(), platform::SystemFileSystem(), f.ui, f.where);
    EXPECT_FALSE(m.SaveMappings(DefaultRows()));
    ASSERT_EQ(f.ui.messages.size(), 1u);
    EXPECT_EQ(f.ui.messages[0].style, platform::vbCritical);
    EXPECT_EQ(f.dir.Read("cfg"), "a file where the folder should be");
}

}  // namespace
