#include "controller/secrets.h"

#include "controller/secrets_win32.h"

namespace {

const unsigned char* bytes(const QByteArray& data)
{
    return reinterpret_cast<const unsigned char*>(data.constData());
}

QByteArray toByteArray(std::vector<unsigned char>& bytes)
{
    QByteArray result(qsizetype(bytes.size()), Qt::Uninitialized);
    win32::copyAndWipe(bytes, result.data());
    return result;
}

} // namespace

QByteArray protectSecret(const QByteArray& plaintext)
{
    std::vector<unsigned char> blob;
    if (!win32::protectData(bytes(plaintext), std::size_t(plaintext.size()), blob))
        return {};
    return toByteArray(blob);
}

QByteArray unprotectSecret(const QByteArray& stored)
{
    std::vector<unsigned char> plaintext;
    if (!win32::unprotectData(bytes(stored), std::size_t(stored.size()), plaintext))
        return {};
    return toByteArray(plaintext);
}
