// INI files with the rules Windows users' files were written under: names without regard
// to ASCII case, blanks around names and values ignored, one pair of outer quotes removed,
// the first of duplicate sections or keys wins. Files from older PCs may be Windows-1252.
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace platform {
namespace {

struct Line {
    QString text;
    QString ending;  // "\r\n", "\n", "\r" or "" for a last line without one
};

const char16_t Cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString Decode(const QByteArray& bytes) {
    QByteArray b = bytes;
    if (b.startsWith("\xEF\xBB\xBF"))
        b.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(b);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(b.size());
    for (char c : b) {
        const auto u = static_cast<unsigned char>(c);
        text += (u >= 0x80 && u < 0xA0) ? QChar(Cp1252High[u - 0x80]) : QChar(u);
    }
    return text;
}

std::vector<Line> SplitLines(const QString& text) {
    std::vector<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            const bool crlf = text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
            lines.push_back(
                {text.mid(start, i - start), crlf ? QStringLiteral("\r\n") : QString(text[i])});
            if (crlf)
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.push_back({text.mid(start), QString()});
    return lines;
}

QString TrimBlanks(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && (s[b] == u' ' || s[b] == u'\t'))
        ++b;
    while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t'))
        --e;
    return s.mid(b, e - b);
}

bool SameName(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x >= u'a' && x <= u'z')
            x -= 32;
        if (y >= u'a' && y <= u'z')
            y -= 32;
        if (x != y)
            return false;
    }
    return true;
}

// The section name of a "[name]" line: what lies between the first "[" and the last "]".
// Any other line, one without its closing "]" included, is no header.
std::optional<QString> SectionOf(const QString& line) {
    const QString t = TrimBlanks(line);
    const qsizetype close = t.lastIndexOf(u']');
    if (!t.startsWith(u'[') || close < 0)
        return std::nullopt;
    return TrimBlanks(t.mid(1, close - 1));
}

struct KeyLine {
    QString key;
    QString value;
};

// "key=value"; there is no comment syntax, so ";KEY=x" is the key ";KEY". A value ends at a
// NUL byte or a Ctrl-Z.
std::optional<KeyLine> KeyOf(const QString& line) {
    const QString t = TrimBlanks(line);
    const qsizetype eq = t.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    QString value = t.mid(eq + 1);
    for (const QChar end : {QChar(u'\0'), QChar(u'\x1A')}) {
        const qsizetype at = value.indexOf(end);
        if (at >= 0)
            value.truncate(at);
    }
    return KeyLine{TrimBlanks(t.left(eq)), TrimBlanks(value)};
}

QString Unquote(const QString& v) {
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return v.mid(1, v.size() - 2);
    return v;
}

// Where a section lies within the lines: [first, end) holds its body. Lines before the first
// header form the section named "", which has no header line.
struct SectionSpan {
    std::optional<std::size_t> header;
    std::size_t first = 0;
    std::size_t end = 0;
};

std::optional<SectionSpan> FindSection(const std::vector<Line>& lines, const QString& name) {
    std::size_t firstHeader = 0;
    while (firstHeader < lines.size() && !SectionOf(lines[firstHeader].text))
        ++firstHeader;
    if (name.isEmpty() && firstHeader > 0)
        return SectionSpan{std::nullopt, 0, firstHeader};
    for (std::size_t i = firstHeader; i < lines.size(); ++i) {
        const auto s = SectionOf(lines[i].text);
        if (!s || !SameName(*s, name))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && !SectionOf(lines[end].text))
            ++end;
        return SectionSpan{i, i + 1, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<Line>& lines, const SectionSpan& span,
                                   const QString& key) {
    for (std::size_t i = span.first; i < span.end; ++i) {
        const auto k = KeyOf(lines[i].text);
        if (k && SameName(k->key, key))
            return i;
    }
    return std::nullopt;
}

// A line break inside a name or value would start a new line, and so a new key.
QString OneLine(const char* s) {
    QString t = QString::fromUtf8(s);
    t.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    t.replace(u'\r', u' ');
    t.replace(u'\n', u' ');
    return t;
}

// Copies at most size - 1 bytes without cutting a UTF-8 sequence in two.
DWORD CopyOut(const QByteArray& value, LPSTR out, DWORD size) {
    if (!out || size == 0)
        return 0;
    qsizetype n = std::min<qsizetype>(value.size(), qsizetype(size) - 1);
    if (n < value.size()) {
        while (n > 0 && (static_cast<unsigned char>(value[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(out, value.constData(), n);
    out[n] = '\0';
    return static_cast<DWORD>(n);
}

// Names each ended by a NUL, then one more NUL; cut short, the list still ends in two.
DWORD CopyOutList(const QByteArray& names, LPSTR out, DWORD size) {
    if (!out || size == 0)
        return 0;
    if (size < 2) {
        out[0] = '\0';
        return 0;
    }
    if (qsizetype(size) > names.size()) {
        std::memcpy(out, names.constData(), names.size());
        out[names.size()] = '\0';
        return static_cast<DWORD>(names.size());
    }
    std::memcpy(out, names.constData(), size - 2);
    out[size - 2] = out[size - 1] = '\0';
    return size - 2;
}

class LinuxProfileFile final : public ProfileFile {
public:
    DWORD GetPrivateProfileStringA(LPCSTR app, LPCSTR key, LPCSTR def, LPSTR out, DWORD size,
                                   LPCSTR file) override {
        const QByteArray fallback = def ? QByteArray(def) : QByteArray();
        if (!app || !file)
            return CopyOut(fallback, out, size);
        QFile f(QString::fromLocal8Bit(file));
        if (!f.open(QIODevice::ReadOnly))
            return key ? CopyOut(fallback, out, size) : CopyOutList({}, out, size);
        const std::vector<Line> lines = SplitLines(Decode(f.readAll()));
        const auto span = FindSection(lines, OneLine(app).trimmed());
        if (!key) {
            QByteArray names;
            for (std::size_t i = span ? span->first : 0; span && i < span->end; ++i) {
                // An empty name would end the list early.
                if (const auto k = KeyOf(lines[i].text); k && !k->key.isEmpty())
                    names += k->key.toUtf8() + '\0';
            }
            return CopyOutList(names, out, size);
        }
        if (!span)
            return CopyOut(fallback, out, size);
        const auto at = FindKey(lines, *span, TrimBlanks(OneLine(key)));
        if (!at)
            return CopyOut(fallback, out, size);
        return CopyOut(Unquote(KeyOf(lines[*at].text)->value).toUtf8(), out, size);
    }

    BOOL WritePrivateProfileStringA(LPCSTR app, LPCSTR key, LPCSTR value, LPCSTR file) override {
        if (!app || !file) {
            lastError_ = EINVAL;
            return 0;
        }
        const QString path = QString::fromLocal8Bit(file);
        std::vector<Line> lines;
        {
            QFile f(path);
            if (f.exists()) {
                if (!f.open(QIODevice::ReadOnly)) {
                    lastError_ = errno ? errno : EACCES;
                    return 0;
                }
                lines = SplitLines(Decode(f.readAll()));
            }
        }
        // Found by its name without blanks; a new header keeps the name as given.
        const QString section = OneLine(app);
        auto span = FindSection(lines, TrimBlanks(section));
        if (!key) {
            // No key: the whole section goes, as on Windows.
            if (span)
                lines.erase(lines.begin() + span->header.value_or(span->first),
                            lines.begin() + span->end);
        } else {
            const QString name = TrimBlanks(OneLine(key));
            const QString newLine = name + u'=' + OneLine(value ? value : "");
            if (!span) {
                if (!value)
                    return 1;
                if (!lines.empty() && lines.back().ending.isEmpty())
                    lines.back().ending = QStringLiteral("\r\n");
                lines.push_back({u'[' + section + u']', QStringLiteral("\r\n")});
                lines.push_back({newLine, QStringLiteral("\r\n")});
            } else if (const auto at = FindKey(lines, *span, name)) {
                if (value)
                    lines[*at].text = newLine;
                else
                    lines.erase(lines.begin() + *at);
            } else if (value) {
                // After the section's last non-blank line, so trailing blank lines stay last.
                std::size_t pos = span->end;
                while (pos > span->first && TrimBlanks(lines[pos - 1].text).isEmpty())
                    --pos;
                if (pos > 0 && lines[pos - 1].ending.isEmpty())
                    lines[pos - 1].ending = QStringLiteral("\r\n");
                lines.insert(lines.begin() + pos, {newLine, QStringLiteral("\r\n")});
            }
        }
        QByteArray bytes;
        for (const Line& l : lines)
            bytes += (l.text + l.ending).toUtf8();

        QSaveFile out(path);
        errno = 0;
        if (!out.open(QIODevice::WriteOnly)) {
            lastError_ = errno ? errno : EACCES;
            return 0;
        }
        if (out.write(bytes) != bytes.size()) {
            lastError_ = errno ? errno : EIO;
            out.cancelWriting();
            return 0;
        }
        if (!out.commit()) {
            lastError_ = errno ? errno : EIO;
            return 0;
        }
        return 1;
    }

    DWORD GetLastError() const override { return lastError_; }

private:
    DWORD lastError_ = 0;
};

}  // namespace

ProfileFile& SystemProfileFile() {
    static LinuxProfileFile profile;
    return profile;
}

}  // namespace platform
