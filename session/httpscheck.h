#pragma once

#include <QObject>
#include <QString>

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
    quint16 m_port = 0;
};
