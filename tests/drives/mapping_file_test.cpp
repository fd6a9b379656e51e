// The mapping file as the main window reads and saves it, on real files.
#include <gtest/gtest.h>

#include <cerrno>

#include "drives/apperror.h"
#include "drives/mappingfile.h"
#include "platform/filesystem.h"
#include "platform/profile.h"
#include "support/support.h"

namespace {

using drives::MappingFile;
using drives::MappingRow;
using drives::Read_Mark_Number;
using drives::RowCount;
using Rows = std::array<MappingRow, RowCount>;

const char* const Devices[RowCount] = {
    "J:", "K:", "L:", "M:", "N:", "O:", "P:", "Q:", "R:", "LPT1:", "LPT2:", "LPT3:"};

// The rows of an untouched main window, and the file they make.
Rows DefaultRows() {
    Rows rows;
    for (int i = 0; i < RowCount; ++i)
        rows[i] = {i ? QStringLiteral(" ") : QStringLiteral("\\\\servidor\\unidad a conectar"),
                   QString::fromLatin1(Devices[i]), 0};
    return rows;
}

QByteArray DefaultFile() {
    QByteArray s = "[UNIDADES]\r\n";
    for (int i = 0; i < RowCount; ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        s += "UNIDAD" + n + "=" + DefaultRows()[i].path.toUtf8() + "\r\nLETRA" + n + "=" +
             Devices[i] + "\r\nMAPEAR" + n + "=0\r\n";
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
        if (failuresLeft > 0 && failuresLeft--)
            return 0;
        return platform::SystemProfileFile().WritePrivateProfileStringA(a, k, v, f);
    }
    platform::DWORD GetLastError() const override { return ENOSPC; }
};

// The real file system, but the call named in `failing` fails the way `failure` says.
class FailingFileSystem : public platform::FileSystem {
public:
    std::string failing;
    platform::Status failure = platform::Failure(EACCES);
    platform::FileSystem& real = platform::SystemFileSystem();

    bool NormalFileExists(const std::string& p) override { return real.NormalFileExists(p); }
    platform::Status CopyFileNoReplace(const std::string& a, const std::string& b) override {
        return failing == "copy" ? failure : real.CopyFileNoReplace(a, b);
    }
    platform::Status ReplaceFile(const std::string& a, const std::string& b) override {
        return failing == "replace" ? failure : real.ReplaceFile(a, b);
    }
    platform::Status DeleteFile(const std::string& p) override { return real.DeleteFile(p); }
    platform::Status FlushFile(const std::string& p) override { return real.FlushFile(p); }
    platform::Status MakeFolder(const std::string& p) override { return real.MakeFolder(p); }
    platform::Status WriteWholeFile(const std::string& p, const std::string& b) override {
        return real.WriteWholeFile(p, b);
    }
};

struct Fixture {
    support::TempDir dir;
    drives::MappingLocation where{dir.Path("cfg"), dir.Path("cfg/MAPEO.INI"),
                                  dir.Path("cfg/MAPEO.BAK")};
    QByteArray Ini() const { return dir.Read("cfg/MAPEO.INI"); }
    QByteArray Bak() const { return dir.Read("cfg/MAPEO.BAK"); }
    void WriteIni(const QByteArray& s) {
        platform::SystemFileSystem().MakeFolder(where.folder);
        dir.Write("cfg/MAPEO.INI", s);
    }
    MappingFile File(platform::FileSystem& fs = platform::SystemFileSystem(),
                     platform::ProfileFile& profile = platform::SystemProfileFile()) {
        return MappingFile(profile, fs, where);
    }
};

TEST(ReadMarkNumber, ReadsTheLeadingNumberRoundedHalfToEvenAndOverflowsBeyondSixteenBits) {
    const std::pair<const char*, int> cases[] = {
        {" 1 ", 1}, {"1.5", 2}, {"2.5", 2}, {"0.5", 0}, {"1 0", 10},       {"1e1", 10},
        {"1x", 1},  {".6", 1},  {"sí", 0},  {"-", 0},   {"-32768", -32768}};
    for (const auto& [text, mark] : cases)
        EXPECT_EQ(Read_Mark_Number(QString::fromUtf8(text)), mark) << text;
    for (const char* text : {"32767.5", "-32769", "1e999"})
        EXPECT_THROW(Read_Mark_Number(QString::fromLatin1(text)), drives::AppError) << text;
}

TEST(MappingFileRead, ValuesComeFromTheSectionLongOnesCutAt254AndAFolderIsNoFile) {
    Fixture f;
    MappingFile m = f.File();
    platform::SystemFileSystem().MakeFolder(f.where.file);
    EXPECT_FALSE(m.MappingFileExists());
    QDir().rmdir(QString::fromStdString(f.where.file));
    f.WriteIni("[unidades]\r\nunidad1=" + QByteArray(300, 'p') + "\r\nLETRA1=J:\r\n");
    ASSERT_TRUE(m.MappingFileExists());
    EXPECT_EQ(m.ReadMappingValue("UNIDAD1"), QString(254, u'p'));
    EXPECT_EQ(m.ReadMappingValue("LETRA1"), "J:");
    EXPECT_EQ(m.ReadMappingValue("MAPEAR1"), "");
}

TEST(SaveMappings, WritesThe36KeysInRowOrderWithOnlyMarkOneAsOneAndNoBackupOfNothing) {
    Fixture f;
    MappingFile m = f.File();
    ASSERT_TRUE(m.SaveMappings(DefaultRows()));
    EXPECT_EQ(f.Ini(), DefaultFile());
    EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.BAK"));
    EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.INI.tmp"));
    Rows rows = DefaultRows();
    rows[0].mark = 1;
    rows[1].mark = 2;
    ASSERT_TRUE(m.SaveMappings(rows));
    EXPECT_EQ(m.ReadMappingValue("MAPEAR1"), "1");
    EXPECT_EQ(m.ReadMappingValue("MAPEAR2"), "0");
}

TEST(SaveMappings, FirstSaveKeepsTheOldFileAsBackupAndLaterSavesNeverReplaceIt) {
    Fixture f;
    f.WriteIni("[UNIDADES]\r\nUNIDAD1=\\\\viejo\\a\r\n; a comment the user wrote\r\n");
    const QByteArray original = f.Ini();
    MappingFile m = f.File();
    Rows rows = DefaultRows();
    ASSERT_TRUE(m.SaveMappings(rows));
    EXPECT_EQ(f.Bak(), original);
    EXPECT_EQ(f.Ini(), DefaultFile()) << "the new file starts afresh";
    rows[3] = {QStringLiteral("\\\\srv\\otra"), QStringLiteral("M:"), 1};
    ASSERT_TRUE(m.SaveMappings(rows));
    EXPECT_EQ(f.Bak(), original);
    EXPECT_TRUE(f.Ini().contains("UNIDAD4=\\\\srv\\otra\r\nLETRA4=M:\r\nMAPEAR4=1\r\n"));
}

TEST(SaveMappings, FieldsAreSavedExactlyAsTheyStandAndReadBackSafely) {
    Fixture f;
    MappingFile m = f.File();
    Rows rows = DefaultRows();
    rows[0].path = QStringLiteral("\\\\srv\\Año & $(rm -rf ~) %2");
    rows[1].path = QStringLiteral("\\\\a\\b\nMAPEAR2=1");
    ASSERT_TRUE(m.SaveMappings(rows));
    EXPECT_EQ(m.ReadMappingValue("UNIDAD1"), rows[0].path);
    EXPECT_EQ(m.ReadMappingValue("MAPEAR2"), "0") << "a line break must not plant a key";
}

TEST(SaveMappings, AFailingWriteIsTriedOnceMoreThenReportedWithItsReasonAndTheOldFileKept) {
    Fixture f;
    f.WriteIni("[UNIDADES]\r\nUNIDAD1=\\\\viejo\\a\r\n");
    const QByteArray original = f.Ini();
    FlakyProfile passing;
    passing.failuresLeft = 1;
    EXPECT_TRUE(f.File(platform::SystemFileSystem(), passing).SaveMappings(DefaultRows()));
    f.WriteIni(original);
    QFile::remove(QString::fromStdString(f.where.backup));

    FlakyProfile lasting;
    lasting.failuresLeft = 1000;
    const platform::Status saved =
        f.File(platform::SystemFileSystem(), lasting).SaveMappings(DefaultRows());
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.reason, "no queda espacio en el disco");
    EXPECT_EQ(lasting.writes, 2) << "one retry, not a loop";
    EXPECT_EQ(f.Ini(), original);
    EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.INI.tmp"));
    EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.BAK")) << "nothing was replaced, so nothing backed up";
}

TEST(SaveMappings, ABackupOrAReplaceThatFailsKeepsTheOldFileAndSaysWhy) {
    for (const char* step : {"copy", "replace"}) {
        Fixture f;
        f.WriteIni("[UNIDADES]\r\nUNIDAD1=\\\\viejo\\a\r\n");
        const QByteArray original = f.Ini();
        FailingFileSystem fs;
        fs.failing = step;
        const platform::Status saved = f.File(fs).SaveMappings(DefaultRows());
        EXPECT_FALSE(saved) << step;
        EXPECT_EQ(saved.reason, "permiso denegado") << step;
        EXPECT_EQ(f.Ini(), original) << step;
        EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.INI.tmp")) << step;
    }
    Fixture f;  // a backup already there is no failure
    f.WriteIni("[UNIDADES]\r\n");
    FailingFileSystem fs;
    fs.failing = "copy";
    fs.failure.targetExists = true;
    EXPECT_TRUE(f.File(fs).SaveMappings(DefaultRows()));
    EXPECT_EQ(f.Ini(), DefaultFile());
}

TEST(SaveMappings, AFileWhereTheFolderShouldBeIsReportedAndLeftAlone) {
    Fixture f;
    f.dir.Write("cfg", "a file where the folder should be");
    EXPECT_FALSE(f.File().SaveMappings(DefaultRows()));
    EXPECT_EQ(f.dir.Read("cfg"), "a file where the folder should be");
}

}  // namespace
