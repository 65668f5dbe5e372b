#include "controller/secrets.h"

#include "controller/secrets_win32.h"

namespace {

QByteArray toByteArray(std::vector<unsigned char>& bytes)
{
    QByteArray result(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    win32::wipe(bytes.data(), bytes.size());
    return result;
}

} // namespace

QByteArray protectSecret(const QByteArray& plaintext)
{
    std::vector<unsigned char> blob;
    if (!win32::protectData(reinterpret_cast<const unsigned char*>(plaintext.constData()),
                            std::size_t(plaintext.size()), blob))
        return {};
    return toByteArray(blob);
}

QByteArray unprotectSecret(const QByteArray& stored)
{
    std::vector<unsigned char> plaintext;
    if (!win32::unprotectData(reinterpret_cast<const unsigned char*>(stored.constData()),
                              std::size_t(stored.size()), plaintext))
        return {};
    return toByteArray(plaintext);
}
