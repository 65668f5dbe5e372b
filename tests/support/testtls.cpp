#include "tests/support/testtls.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTemporaryDir>

namespace testtls {

namespace {

struct CaState
{
    std::unique_ptr<QTemporaryDir> folder;
    QString error;
    bool made = false;
};

CaState& caState()
{
    static CaState state;
    return state;
}

QString runOpenssl(const QStringList& arguments, const QString& folder)
{
    QProcess openssl;
    openssl.setWorkingDirectory(folder);
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30000))
        return QStringLiteral("openssl did not run: ") + openssl.errorString();
    if (openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        return QStringLiteral("openssl %1 failed: %2")
            .arg(arguments.value(0), QString::fromLocal8Bit(openssl.readAll()));
    return {};
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QStringList kEcKey{QStringLiteral("-newkey"), QStringLiteral("ec"),
                         QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                         QStringLiteral("-nodes")};

} // namespace

QString ensureTestCa()
{
    CaState& state = caState();
    if (state.made)
        return state.error;
    state.made = true;
    state.folder = std::make_unique<QTemporaryDir>();
    if (!state.folder->isValid())
        return state.error = QStringLiteral("no temporary folder for the test CA");
    state.error = runOpenssl(
        QStringList{QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-new")} +
            kEcKey +
            QStringList{
                QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                QStringLiteral("ca.crt"), QStringLiteral("-days"), QStringLiteral("2"),
                QStringLiteral("-subj"), QStringLiteral("/CN=OrvikVPN Test CA"),
                QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
                QStringLiteral("-addext"), QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")},
        state.folder->path());
    if (!state.error.isEmpty())
        return state.error;
    const QList<QSslCertificate> ca =
        QSslCertificate::fromData(readFile(state.folder->filePath(QStringLiteral("ca.crt"))));
    if (ca.isEmpty())
        return state.error = QStringLiteral("the test CA certificate cannot be read");
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(ca);
    QSslConfiguration::setDefaultConfiguration(configuration);
    return {};
}

ServerIdentity makeServerIdentity(const QStringList& hostNames)
{
    ServerIdentity identity;
    identity.error = ensureTestCa();
    if (!identity.error.isEmpty())
        return identity;
    QTemporaryDir folder;
    const QString path = folder.path();
    QStringList names{QStringLiteral("IP:127.0.0.1"), QStringLiteral("DNS:localhost")};
    for (const QString& host : hostNames)
        names.append(QStringLiteral("DNS:") + host);
    QFile extensions(folder.filePath(QStringLiteral("server.ext")));
    if (!extensions.open(QIODevice::WriteOnly)) {
        identity.error = QStringLiteral("cannot write the certificate extensions");
        return identity;
    }
    extensions.write("basicConstraints=CA:FALSE\n"
                     "keyUsage=critical,digitalSignature\n"
                     "extendedKeyUsage=serverAuth\n"
                     "subjectAltName=" +
                     names.join(QLatin1Char(',')).toLatin1() + "\n");
    extensions.close();

    const QString caFolder = caState().folder->path();
    identity.error =
        runOpenssl(QStringList{QStringLiteral("req"), QStringLiteral("-new")} + kEcKey +
                       QStringList{QStringLiteral("-keyout"), QStringLiteral("server.key"),
                                   QStringLiteral("-out"), QStringLiteral("server.csr"),
                                   QStringLiteral("-subj"), QStringLiteral("/CN=localhost")},
                   path);
    if (identity.error.isEmpty()) {
        identity.error =
            runOpenssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                        QStringLiteral("server.csr"), QStringLiteral("-CA"),
                        caFolder + QStringLiteral("/ca.crt"), QStringLiteral("-CAkey"),
                        caFolder + QStringLiteral("/ca.key"), QStringLiteral("-set_serial"),
                        QString::number(QRandomGenerator::global()->bounded(1, 1 << 30)),
                        QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-out"),
                        QStringLiteral("server.crt"), QStringLiteral("-extfile"),
                        QStringLiteral("server.ext")},
                       path);
    }
    if (!identity.error.isEmpty())
        return identity;
    identity.certificate = readFile(folder.filePath(QStringLiteral("server.crt")));
    identity.privateKey = readFile(folder.filePath(QStringLiteral("server.key")));
    if (identity.certificate.isEmpty() || identity.privateKey.isEmpty())
        identity.error = QStringLiteral("openssl left no server certificate");
    return identity;
}

} // namespace testtls
