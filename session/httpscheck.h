#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

class QNetworkReply;

// Two public connectivity-check endpoints that answer 204, tried in this order.
inline constexpr char kPrimaryCheckUrl[] = "https://www.google.com/generate_204";
inline constexpr char kFallbackCheckUrl[] = "https://cp.cloudflare.com/generate_204";

// The check URLs in the order they are tried; built once, shared by every check.
const QList<QUrl>& httpsCheckUrls();

// Proves that traffic leaves through a running tunnel: one HTTPS GET through the local
// SOCKS5 port, one retry on a second URL, one `finished` signal.
class HttpsCheck : public QObject
{
    Q_OBJECT

public:
    HttpsCheck(quint16 port, QObject* parent = nullptr);

    void start();

signals:
    // milliseconds >= 1 and an empty error on success; -1 and the attempts' texts on failure.
    void finished(int milliseconds, const QString& error);

private:
    void onReplyFinished(QNetworkReply* reply);

    quint16 m_port = 0;
    qint32 m_attempt = 0;
    QStringList m_errors;
    QElapsedTimer m_clock;
};
