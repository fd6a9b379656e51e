// The mapping file as the main window reads and saves it, on real files.
#include <gtest/gtest.h>

#include <QDir>
#include <cerrno>

#include "drives/apperror.h"
#include "drives/mappingfile.h"
#include "platform/filesystem.h"
#include "platform/profile.h"
#include "support/support.h"

namespace {

using drives::Read_Mark_Number;
using Rows = std::array<drives::MappingRow, drives::RowCount>;
using platform::Status;

// The rows of an untouched main window, and the file they make.
Rows DefaultRows() {
    Rows rows;
    for (int i = 0; i < drives::RowCount; ++i)
        rows[i] = {i ? QStringLiteral(" ") : QStringLiteral("\\\\servidor\\unidad a conectar"),
                   i < 9 ? QString(QChar(u'J' + i)) + u':' : QStringLiteral("LPT%1:").arg(i - 8),
                   0};
    return rows;
}
// The file the system's own writer makes of those rows, key by key in row order: what a save
// must leave, whatever the writer does with blanks and line ends.
QByteArray DefaultFile() {
    support::TempDir d;
    const std::string file = d.Path("MAPEO.INI");
    for (int i = 0; i < drives::RowCount; ++i) {
        const drives::RowKeys keys = drives::Row_Keys(i);
        const auto put = [&](const QString& key, const QString& value) {
            platform::WritePrivateProfileStringA("UNIDADES", key.toLocal8Bit().constData(),
                                                 value.toLocal8Bit().constData(), file.c_str());
        };
        put(keys.path, DefaultRows()[i].path);
        put(keys.device, DefaultRows()[i].device);
        put(keys.mark, QStringLiteral("0"));
    }
    return d.Read("MAPEO.INI");
}

// The real services, but writes fail `failures` times and the file-system call named in
// `failing` fails with `failure`.
struct FailingServices : platform::ProfileFile, platform::FileSystem {
    int failures = 0, writes = 0;
    std::string failing;
    Status failure = platform::Failure(EACCES);
    platform::ProfileFile& profile = platform::SystemProfileFile();
    platform::FileSystem& files = platform::SystemFileSystem();

    platform::DWORD GetPrivateProfileStringA(platform::LPCSTR a, platform::LPCSTR k,
                                             platform::LPCSTR d, platform::LPSTR r,
                                             platform::DWORD n, platform::LPCSTR f) override {
        return profile.GetPrivateProfileStringA(a, k, d, r, n, f);
    }
    platform::BOOL WritePrivateProfileStringA(platform::LPCSTR a, platform::LPCSTR k,
                                              platform::LPCSTR v, platform::LPCSTR f) override {
        return ++writes <= failures ? 0 : profile.WritePrivateProfileStringA(a, k, v, f);
    }
    platform::DWORD GetLastError() const override { return ENOSPC; }
    bool NormalFileExists(const std::string& p) override { return files.NormalFileExists(p); }
    Status CanReadFile(const std::string& p) override {
        return failing == "read" ? Status{EACCES, "permiso denegado", true} : files.CanReadFile(p);
    }
    Status CopyFileNoReplace(const std::string& a, const std::string& b) override {
        return failing == "copy" ? failure : files.CopyFileNoReplace(a, b);
    }
    Status ReplaceFile(const std::string& a, const std::string& b) override {
        return failing == "replace" ? failure : files.ReplaceFile(a, b);
    }
    Status DeleteFile(const std::string& p) override { return files.DeleteFile(p); }
    Status FlushFile(const std::string& p) override { return files.FlushFile(p); }
    Status MakeFolder(const std::string& p) override { return files.MakeFolder(p); }
    Status WriteWholeFile(const std::string& p, const std::string& b) override {
        return files.WriteWholeFile(p, b);
    }
};

struct Fixture {
    support::TempDir dir;
    FailingServices services;
    drives::MappingFile file{
        services,
        services,
        {dir.Path("cfg"),
         dir.Path("cfg/MAPEO.INI"),
         dir.Path("cfg/MAPEO.BAK"),
         {dir.Path("etc1/mapeo/MAPEO.INI"), dir.Path("etc2/mapeo/MAPEO.INI")}}};
    QByteArray Ini() const { return dir.Read("cfg/MAPEO.INI"); }
    QByteArray Bak() const { return dir.Read("cfg/MAPEO.BAK"); }
    bool Leftover() const { return dir.Exists("cfg/MAPEO.INI.tmp"); }
    QByteArray WriteIni(const QByteArray& s, const char* folder = "cfg") {
        platform::SystemFileSystem().MakeFolder(dir.Path(folder));
        dir.Write((std::string(folder) + "/MAPEO.INI").c_str(), s);
        return s;
    }
    // What the load is told when the file it picks cannot be read, paths from the folder.
    QString Refusal() {
        try {
            file.MappingFileExists();
            return {};
        } catch (const drives::AppError& e) {
            return QString::number(e.number) + u' ' +
                   QString(e.description).remove(QString::fromStdString(dir.Path()));
        }
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

TEST(SaveMappings, WritesThe36KeysInRowOrderThatReadBackAsTheyStand) {
    Fixture f;
    ASSERT_TRUE(f.file.SaveMappings(DefaultRows()));
    EXPECT_EQ(f.Ini(), DefaultFile());
    EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.BAK") || f.Leftover());
    Rows rows = DefaultRows();
    rows[0] = {QStringLiteral("\\\\srv\\Año & $(rm -rf ~) %2 ") + QString(300, u'p'), "J:", 1};
    rows[1] = {QStringLiteral("\\\\a\\b\nMAPEAR2=1"), "K:", 2};
    ASSERT_TRUE(f.file.SaveMappings(rows));
    EXPECT_EQ(f.file.ReadMappingValue("UNIDAD1").toLocal8Bit(),
              rows[0].path.toLocal8Bit().left(254));
    EXPECT_EQ(f.file.ReadMappingValue("MAPEAR1"), "1");
    EXPECT_EQ(f.file.ReadMappingValue("MAPEAR2"), "0") << "only 1 is saved, and no line break "
                                                          "plants a key";
}

TEST(SaveMappings, FirstSaveKeepsTheOldFileAsBackupAndLaterSavesNeverReplaceIt) {
    Fixture f;
    const QByteArray original = f.WriteIni("[UNIDADES]\r\nUNIDAD1=\\\\viejo\\a\r\n; mine\r\n");
    Rows rows = DefaultRows();
    ASSERT_TRUE(f.file.SaveMappings(rows));
    EXPECT_EQ(f.Bak(), original);
    EXPECT_EQ(f.Ini(), DefaultFile()) << "the new file starts afresh";
    rows[3] = {QStringLiteral("\\\\srv\\otra"), QStringLiteral("M:"), 1};
    ASSERT_TRUE(f.file.SaveMappings(rows));
    EXPECT_EQ(f.Bak(), original);
    EXPECT_TRUE(f.Ini().contains("UNIDAD4=\\\\srv\\otra\r\nLETRA4=M:\r\nMAPEAR4=1\r\n"));
}

TEST(SaveMappings, AFailingWriteIsTriedOnceMoreThenReportedWithItsReasonAndTheOldFileKept) {
    Fixture f;
    const QByteArray original = f.WriteIni("[UNIDADES]\r\nUNIDAD1=\\\\viejo\\a\r\n");
    f.services.failures = 2;
    const Status saved = f.file.SaveMappings(DefaultRows());
    EXPECT_EQ(std::tuple(bool(saved), saved.reason, f.services.writes),
              std::tuple(false, platform::ErrorText(ENOSPC), 2))
        << "one retry, not a loop";
    EXPECT_EQ(f.Ini(), original);
    EXPECT_FALSE(f.Leftover() || f.dir.Exists("cfg/MAPEO.BAK"));
    f.services.writes = 1;  // a passing fault is covered by the retry
    EXPECT_TRUE(f.file.SaveMappings(DefaultRows()));
}

TEST(SaveMappings, ABackupOrAReplaceThatFailsKeepsTheOldFileAndSaysWhy) {
    for (const char* step : {"copy", "replace"}) {
        Fixture f;
        const QByteArray original = f.WriteIni("[UNIDADES]\r\nUNIDAD1=\\\\viejo\\a\r\n");
        f.services.failing = step;
        const Status saved = f.file.SaveMappings(DefaultRows());
        EXPECT_EQ(saved.reason, platform::ErrorText(EACCES)) << step;
        EXPECT_EQ(f.Ini(), original) << step;
        EXPECT_FALSE(f.Leftover()) << step;
    }
    Fixture f;  // a backup already there is no failure
    f.WriteIni("[UNIDADES]\r\n");
    f.services.failing = "copy";
    f.services.failure.targetExists = true;
    EXPECT_TRUE(f.file.SaveMappings(DefaultRows()));
    EXPECT_EQ(f.Ini(), DefaultFile());
}

TEST(MappingSource, TheUsersFileWinsElseTheFirstOfTheAdministratorsThatIsThere) {
    Fixture f;
    drives::MappingFile file{
        f.services,
        f.services,
        {"",
         f.dir.Path("cfg/MAPEO.INI"),
         "",
         {f.dir.Path("etc0/mapeo/MAPEO.INI"), f.dir.Path("etc1/mapeo/MAPEO.INI"),
          f.dir.Path("etc2/mapeo/MAPEO.INI")}}};
    const auto read = [&] {
        return file.MappingFileExists() ? file.ReadMappingValue("LETRA1") : QStringLiteral("-");
    };
    EXPECT_EQ(read(), "-");
    for (const auto& [folder, expected] :
         {std::pair{"etc2/mapeo", "etc2"}, {"etc1/mapeo", "etc1"}, {"cfg", "cfg"}}) {
        f.WriteIni("[UNIDADES]\r\nLETRA1=" + QByteArray(folder).left(4) + "\r\n", folder);
        EXPECT_EQ(read(), expected) << folder;
    }
}

TEST(MappingSource, AFileThatIsThereButCannotBeReadIsReportedNeverReadAsEmptyOrPassedOver) {
    Fixture f;
    f.WriteIni("[UNIDADES]\r\nLETRA1=J:\r\n", "etc2/mapeo");
    platform::SystemFileSystem().MakeFolder(f.dir.Path("etc1/mapeo/MAPEO.INI"));
    const QString message = QStringLiteral("75 No se puede leer la tabla de conexiones %1: %2.");
    EXPECT_EQ(f.Refusal(), message.arg("etc1/mapeo/MAPEO.INI", "es una carpeta"));
    QDir(QString::fromStdString(f.dir.Path("etc1"))).removeRecursively();
    f.WriteIni("\xff\xfe<h1>404</h1>\n[UNIDAD]\nLETRA1=J:\n", "etc1/mapeo");
    EXPECT_EQ(f.Refusal(), message.arg("etc1/mapeo/MAPEO.INI",
                                       "no tiene ninguna clave en la sección [UNIDADES]"));
    f.WriteIni("[UNIDADES]\r\nLETRA1=J:\r\n");
    f.services.failing = "read";  // the user's own, kept from them
    EXPECT_EQ(f.Refusal(), message.arg("cfg/MAPEO.INI", "permiso denegado"));
}

TEST(SaveMappings, ASaveAfterReadingTheSystemFileWritesTheUsersOwnWithoutBackup) {
    Fixture f;
    const QByteArray system = f.WriteIni("[UNIDADES]\r\nUNIDAD1=\\\\admin\\a\r\n", "etc1/mapeo");
    ASSERT_TRUE(f.file.MappingFileExists());
    ASSERT_TRUE(f.file.SaveMappings(DefaultRows()));
    EXPECT_EQ(f.Ini(), DefaultFile());
    EXPECT_EQ(f.dir.Read("etc1/mapeo/MAPEO.INI"), system);
    EXPECT_FALSE(f.dir.Exists("cfg/MAPEO.BAK")) << "the backup is of the user's own file only";
    ASSERT_TRUE(f.file.MappingFileExists());
    EXPECT_EQ(f.file.ReadMappingValue("UNIDAD1"), DefaultRows()[0].path);
}

}  // namespace
