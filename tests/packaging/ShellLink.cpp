#include "ShellLink.h"

#include <QtEndian>

namespace testsupport {

namespace {

enum LinkFlag : quint32 {
    HasLinkTargetIdList = 0x01,
    HasLinkInfo = 0x02,
    HasName = 0x04,
    HasRelativePath = 0x08,
    HasWorkingDir = 0x10,
    HasArguments = 0x20,
    HasIconLocation = 0x40,
    IsUnicode = 0x80,
};
constexpr qsizetype HeaderSize = 0x4C;

// Bounds-checked little-endian reads: a short or damaged file gives nothing, never a crash.
class Reader {
public:
    explicit Reader(const QByteArray& bytes) : bytes_(bytes) {}
    bool has(qsizetype at, qsizetype size) const {
        return at >= 0 && size >= 0 && at + size <= bytes_.size();
    }
    std::optional<quint16> u16(qsizetype at) const {
        if (!has(at, 2)) return std::nullopt;
        return qFromLittleEndian<quint16>(bytes_.constData() + at);
    }
    std::optional<quint32> u32(qsizetype at) const {
        if (!has(at, 4)) return std::nullopt;
        return qFromLittleEndian<quint32>(bytes_.constData() + at);
    }
    // A zero-ended string in the system's code page (plain ASCII in these tests).
    std::optional<QString> latin1z(qsizetype at) const {
        const qsizetype end = bytes_.indexOf('\0', at);
        if (at < 0 || end < 0) return std::nullopt;
        return QString::fromLatin1(bytes_.mid(at, end - at));
    }
    std::optional<QString> utf16z(qsizetype at) const {
        QString text;
        for (auto c = u16(at); c; c = u16(at += 2)) {
            if (*c == 0) return text;
            text.append(QChar(*c));
        }
        return std::nullopt;
    }
    std::optional<QString> utf16(qsizetype at, qsizetype chars) const {
        if (!has(at, chars * 2)) return std::nullopt;
        QString text(chars, Qt::Uninitialized);
        for (qsizetype i = 0; i < chars; ++i)
            text[i] = QChar(qFromLittleEndian<quint16>(bytes_.constData() + at + 2 * i));
        return text;
    }

private:
    const QByteArray& bytes_;
};

}  // namespace

std::optional<ShellLink> readShellLink(const QByteArray& bytes) {
    const Reader in(bytes);
    const auto headerSize = in.u32(0);
    const auto flags = in.u32(0x14);
    if (headerSize != HeaderSize || !flags) return std::nullopt;
    qsizetype at = HeaderSize;
    if (*flags & HasLinkTargetIdList) {
        const auto size = in.u16(at);
        if (!size) return std::nullopt;
        at += 2 + *size;
    }
    ShellLink link;
    if (*flags & HasLinkInfo) {
        const auto size = in.u32(at);
        const auto infoHeaderSize = in.u32(at + 4);
        const auto localBasePath = in.u32(at + 16);
        if (!size || !infoHeaderSize || !localBasePath) return std::nullopt;
        // Newer writers add the path in UTF-16 too; Wine writes it in the code page alone.
        const auto unicodePath = *infoHeaderSize >= 0x24 ? in.u32(at + 28) : std::nullopt;
        const auto target = unicodePath && *unicodePath ? in.utf16z(at + *unicodePath)
                                                        : in.latin1z(at + *localBasePath);
        if (!target) return std::nullopt;
        link.target = *target;
        at += *size;
    }
    const bool unicode = *flags & IsUnicode;
    for (const LinkFlag field :
         {HasName, HasRelativePath, HasWorkingDir, HasArguments, HasIconLocation}) {
        if (!(*flags & field)) continue;
        const auto chars = in.u16(at);
        if (!chars) return std::nullopt;
        at += 2;
        std::optional<QString> text;
        if (unicode) {
            text = in.utf16(at, *chars);
            at += 2 * *chars;
        } else if (in.has(at, *chars)) {
            text = QString::fromLatin1(bytes.mid(at, *chars));
            at += *chars;
        }
        if (!text) return std::nullopt;
        // Wine counts the zero that ends each string; Windows does not.
        while (text->endsWith(QChar(0))) text->chop(1);
        if (field == HasWorkingDir) link.workingDir = *text;
        if (field == HasArguments) link.arguments = *text;
        if (field == HasIconLocation) link.iconLocation = *text;
    }
    return link;
}

}  // namespace testsupport
