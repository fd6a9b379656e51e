#include "drives/mappingfile.h"

#include <cctype>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "drives/apperror.h"
#include "drives/texts.h"

namespace drives {
namespace {

const char* const Section = "UNIDADES";
constexpr platform::DWORD ValueBufferSize = 255;

}  // namespace

int ReadMarkNumber(const QString& text) {
    std::string s;
    for (QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        s += c.unicode() < 128 ? char(c.unicode()) : '\x7f';
    }
    // Keep the leading number: sign, digits, point, exponent.
    std::size_t i = 0;
    std::string num;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        num += s[i++];
    bool digits = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        num += s[i++];
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        num += s[i++];
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            num += s[i++];
            digits = true;
        }
    }
    if (!digits)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::string exp = "e";
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exp += s[j++];
        bool expDigits = false;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
            exp += s[j++];
            expDigits = true;
        }
        if (expDigits)
            num += exp;
    }
    const double value = std::strtod(num.c_str(), nullptr);
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    if (!std::isfinite(rounded) || rounded < -32768.0 || rounded > 32767.0)
        throw AppError{ErrOverflow, texts::Overflow};
    return static_cast<int>(rounded);
}

MappingFile::MappingFile(platform::ProfileFile& profile, platform::FileSystem& files,
                         platform::WindowServices& ui, MappingLocation location)
    : profile_(profile), files_(files), ui_(ui), location_(std::move(location)) {}

bool MappingFile::MappingFileExists() {
    return files_.NormalFileExists(location_.file);
}

QString MappingFile::ReadMappingValue(const QString& key) {
    std::vector<char> buffer(ValueBufferSize, '\0');
    const QByteArray k = key.toLocal8Bit();
    const platform::DWORD count = profile_.GetPrivateProfileStringA(
        Section, k.constData(), "", buffer.data(), ValueBufferSize, location_.file.c_str());
    return QString::fromLocal8Bit(buffer.data(), std::min<qsizetype>(count, ValueBufferSize - 1));
}

bool MappingFile::WriteWithRetry(const std::string& file, const QString& key,
                                 const QString& value) {
    const QByteArray k = key.toLocal8Bit();
    const QByteArray v = value.toLocal8Bit();
    // One more attempt covers a passing fault; a lasting one is reported, not looped on.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (profile_.WritePrivateProfileStringA(Section, k.constData(), v.constData(),
                                                file.c_str()))
            return true;
    }
    return false;
}

void MappingFile::ReportSaveFailure(const QString& reason) {
    ui_.MsgBox(QString::number(ErrPathFileAccess) + u'\n' +
                   texts::SaveFailed.arg(QString::fromStdString(location_.file), reason),
               platform::vbCritical);
}

bool MappingFile::SaveMappings(const std::array<MappingRow, RowCount>& rows) {
    const std::string fresh = location_.file + ".tmp";
    if (!files_.MakeFolder(location_.folder)) {
        ReportSaveFailure(QString::fromStdString(files_.LastErrorText()));
        return false;
    }
    files_.DeleteFile(fresh);  // left over by an interrupted save

    for (int i = 0; i < RowCount; ++i) {
        const QString n = QString::number(i + 1);
        const MappingRow& row = rows[i];
        if (!WriteWithRetry(fresh, QStringLiteral("UNIDAD") + n, row.path) ||
            !WriteWithRetry(fresh, QStringLiteral("LETRA") + n, row.device) ||
            !WriteWithRetry(fresh, QStringLiteral("MAPEAR") + n,
                            row.mark == 1 ? QStringLiteral("1") : QStringLiteral("0"))) {
            const QString reason = QString::fromStdString(profile_.GetLastErrorText());
            files_.DeleteFile(fresh);
            ReportSaveFailure(reason);
            return false;
        }
    }
    if (!files_.FlushFile(fresh)) {
        const QString reason = QString::fromStdString(files_.LastErrorText());
        files_.DeleteFile(fresh);
        ReportSaveFailure(reason);
        return false;
    }
    // The backup is made once, by the first save that finds a mapping file and no backup.
    files_.CopyFileNoReplace(location_.file, location_.backup);
    if (!files_.ReplaceFile(fresh, location_.file)) {
        const QString reason = QString::fromStdString(files_.LastErrorText());
        files_.DeleteFile(fresh);
        ReportSaveFailure(reason);
        return false;
    }
    return true;
}

}  // namespace drives
