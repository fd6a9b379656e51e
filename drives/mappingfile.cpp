#include "drives/mappingfile.h"

#include <cctype>
#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "drives/apperror.h"
#include "drives/texts.h"

namespace drives {
namespace {

// The one section the file holds; its keys are spelled in Row_Keys.
const char* const Section = "UNIDADES";
constexpr platform::DWORD ValueBufferSize = 255;

}  // namespace

RowKeys Row_Keys(int index) {
    const QString n = QString::number(index + 1);
    return {QStringLiteral("UNIDAD") + n, QStringLiteral("LETRA") + n,
            QStringLiteral("MAPEAR") + n};
}

int Read_Mark_Number(const QString& text) {
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

std::optional<std::string> Mapping_Source(platform::FileSystem& files,
                                          const MappingLocation& location) {
    if (files.NormalFileExists(location.file))
        return location.file;
    for (const std::string& file : location.systemFiles) {
        const platform::Status readable = files.CanReadFile(file);
        if (readable || readable.targetExists)
            return file;
    }
    return std::nullopt;
}

MappingFile::MappingFile(platform::ProfileFile& profile, platform::FileSystem& files,
                         MappingLocation location)
    : profile_(profile), files_(files), location_(std::move(location)), source_(location_.file) {}

bool MappingFile::MappingFileExists() {
    const std::optional<std::string> source = Mapping_Source(files_, location_);
    source_ = source.value_or(location_.file);
    if (!source)
        return false;
    const auto unreadable = [&](const std::string& why) {
        return AppError{ErrPathFileAccess,
                        texts::MappingUnreadable.arg(QString::fromLocal8Bit(source_.c_str()),
                                                     QString::fromStdString(why))};
    };
    if (const platform::Status readable = files_.CanReadFile(source_); !readable)
        throw unreadable(readable.reason);
    // Not one key in the section: whatever the file holds, it is no table.
    std::vector<char> names(ValueBufferSize, '\0');
    if (profile_.GetPrivateProfileStringA(Section, nullptr, "", names.data(), ValueBufferSize,
                                          source_.c_str()) == 0)
        throw unreadable(texts::NoMappingKeys.toStdString());
    return true;
}

QString MappingFile::ReadMappingValue(const QString& key) {
    std::vector<char> buffer(ValueBufferSize, '\0');
    const QByteArray k = key.toLocal8Bit();
    const platform::DWORD count = profile_.GetPrivateProfileStringA(
        Section, k.constData(), "", buffer.data(), ValueBufferSize, source_.c_str());
    return QString::fromLocal8Bit(buffer.data(), std::min<qsizetype>(count, ValueBufferSize - 1));
}

bool MappingFile::Write_With_Retry(const std::string& file, const QString& key,
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

platform::Status MappingFile::SaveMappings(const std::array<MappingRow, RowCount>& rows) {
    const std::string fresh = location_.file + ".tmp";
    // Whatever went wrong, the old file stays and the half-written new one goes.
    const auto failed = [&](platform::Status why) {
        files_.DeleteFile(fresh);
        return why;
    };
    if (platform::Status made = files_.MakeFolder(location_.folder); !made)
        return made;
    files_.DeleteFile(fresh);  // left over by an interrupted save

    for (int i = 0; i < RowCount; ++i) {
        const RowKeys keys = Row_Keys(i);
        const MappingRow& row = rows[i];
        if (!Write_With_Retry(fresh, keys.path, row.path) ||
            !Write_With_Retry(fresh, keys.device, row.device) ||
            !Write_With_Retry(fresh, keys.mark,
                              row.mark == 1 ? QStringLiteral("1") : QStringLiteral("0")))
            return failed(
                platform::Failure(profile_.GetLastError() ? int(profile_.GetLastError()) : EIO));
    }
    if (platform::Status flushed = files_.FlushFile(fresh); !flushed)
        return failed(flushed);
    // The backup is made once, by the first save that finds a file of the user's own and no
    // backup; a table read from the administrator's file has nothing to back up.
    if (files_.NormalFileExists(location_.file)) {
        platform::Status backup = files_.CopyFileNoReplace(location_.file, location_.backup);
        if (!backup && !backup.targetExists)
            return failed(backup);
    }
    if (platform::Status replaced = files_.ReplaceFile(fresh, location_.file); !replaced)
        return failed(replaced);
    source_ = location_.file;  // from now on the user's own file is the table
    return {};
}

}  // namespace drives
