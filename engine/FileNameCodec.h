#pragma once

#include <QString>
#include <QTextCodec>

// File names are bytes, and not every byte string is UTF-8 (a folder named
// in Latin-1 on a UTF-8 system). Qt turns names into QString and back with
// the locale's codec, which loses such bytes: the name read from a folder no
// longer opens the file. This codec decodes UTF-8 and keeps every byte that
// is no part of valid UTF-8 as a lone surrogate U+DC80..U+DCFF, which it
// encodes back to the same byte; valid UTF-8 reads and writes as before. As
// the locale codec it is the one definition of how a path crosses between
// bytes and QString for every layer (QFile::encodeName / decodeName).
class FileNameCodec : public QTextCodec {
public:
    // Makes it the locale codec when the locale's own is UTF-8 (as Qt makes
    // it for the C locale too). Call once, on the main thread,
    // after the application object exists and before any file is named.
    static void Install();
    // name with each kept byte shown as U+FFFD, for display only.
    static QString Displayed(const QString& name);
    // True when name carries bytes that are not UTF-8.
    static bool HasRawBytes(const QString& name);

    QByteArray name() const override;
    int mibEnum() const override;

protected:
    QString convertToUnicode(const char* in, int length, ConverterState* state) const override;
    QByteArray convertFromUnicode(const QChar* in, int length,
                                  ConverterState* state) const override;
};
