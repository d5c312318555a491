#include "engine/FileNameCodec.h"

#include <QByteArray>

namespace {

constexpr ushort kRawByteBase = 0xDC00;  // a kept byte b is U+DC00 + b (b >= 0x80)
constexpr int kMibUtf8 = 106;
constexpr int kOwnMib = -106;  // a codec of its own, never looked up by number

bool isRawByte(ushort u) {
    return u >= kRawByteBase + 0x80 && u <= kRawByteBase + 0xFF;
}

bool isContinuation(uchar b) {
    return (b & 0xC0) == 0x80;
}

// Bytes that follow a lead byte; -1 for a byte that cannot start a sequence.
int followers(uchar lead) {
    if (lead < 0x80)
        return 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 1;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 2;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 3;
    return -1;
}

// The code point of the sequence at s (lead and n followers), or -1 when it
// is overlong, a surrogate or beyond U+10FFFF.
int codePoint(const uchar* s, int n) {
    static constexpr uint kLeadMask[] = {0x7F, 0x1F, 0x0F, 0x07};
    static constexpr uint kSmallest[] = {0, 0x80, 0x800, 0x10000};
    uint cp = s[0] & kLeadMask[n];
    for (int i = 1; i <= n; ++i)
        cp = cp << 6 | (s[i] & 0x3F);
    if (cp < kSmallest[n] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
        return -1;
    return int(cp);
}

void appendUtf8(QByteArray& out, uint cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

}  // namespace

void FileNameCodec::Install() {
    const QTextCodec* locale = QTextCodec::codecForLocale();
    if (!locale || dynamic_cast<const FileNameCodec*>(locale))
        return;
    if (locale->mibEnum() != kMibUtf8)
        return;  // a single-byte codec decodes every byte already
    QTextCodec::setCodecForLocale(new FileNameCodec);  // Qt keeps its codecs
}

QString FileNameCodec::Displayed(const QString& name) {
    QString shown = name;
    for (QChar& c : shown) {
        if (isRawByte(c.unicode()))
            c = QChar::ReplacementCharacter;
    }
    return shown;
}

bool FileNameCodec::HasRawBytes(const QString& name) {
    for (const QChar c : name) {
        if (isRawByte(c.unicode()))
            return true;
    }
    return false;
}

QByteArray FileNameCodec::name() const {
    return QByteArrayLiteral("x-ordavex-file-names");
}

int FileNameCodec::mibEnum() const {
    return kOwnMib;
}

// Every call decodes whole names: a sequence cut at the end is kept as its
// bytes rather than held for a next call, so a name never counts as invalid
// and its last bytes are never lost (Qt's folder listing drops names whose
// decoding leaves invalid or remaining characters).
QString FileNameCodec::convertToUnicode(const char* in, int length, ConverterState*) const {
    const auto* s = reinterpret_cast<const uchar*>(in);
    const int n = length;
    QString out;
    out.reserve(n);
    int i = 0;
    while (i < n) {
        const int more = followers(s[i]);
        int valid = 0;  // followers present and well formed
        while (more > 0 && valid < more && i + 1 + valid < n && isContinuation(s[i + 1 + valid]))
            ++valid;
        const int cp = more >= 0 && valid == more ? codePoint(s + i, more) : -1;
        if (cp < 0) {
            out += QChar(ushort(kRawByteBase + s[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            out += QChar(QChar::highSurrogate(uint(cp)));
            out += QChar(QChar::lowSurrogate(uint(cp)));
        } else {
            out += QChar(ushort(cp));
        }
        i += more + 1;
    }
    return out;
}

QByteArray FileNameCodec::convertFromUnicode(const QChar* in, int length,
                                             ConverterState* state) const {
    QByteArray out;
    out.reserve(length * 3);
    for (int i = 0; i < length; ++i) {
        const ushort u = in[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < length && in[i + 1].isLowSurrogate()) {
            appendUtf8(out, QChar::surrogateToUcs4(u, in[i + 1].unicode()));
            ++i;
        } else if (isRawByte(u)) {
            out += char(u - kRawByteBase);
        } else if (QChar::isSurrogate(u)) {
            out += state && state->flags & ConvertInvalidToNull ? '\0' : '?';
            if (state)
                ++state->invalidChars;
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}
