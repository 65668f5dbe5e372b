#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>
#include <QVariantList>

// The rules of a subscription download, apart from the controller that runs it.
namespace subscription {

// A transfer with no bytes moving for this long is abandoned.
inline constexpr int kTransferTimeoutMs = 15000;
// A reply holding more than this is aborted: no real subscription comes near it.
inline constexpr qint64 kBodyLimit = 1048576;
// A server that sends a byte now and then never trips the transfer timeout; this ends the
// download as if it had.
inline constexpr int kDownloadDeadlineMs = 60000;
// Latency checks start this long after a downloaded list is installed.
inline constexpr int kPingDelayMs = 80;
// Lines parsed per turn of the event loop: a body of thousands of lines is parsed in
// slices of a few milliseconds, so the window never waits for the whole body.
inline constexpr qsizetype kParseSlice = 1000;

// The link the user typed, trimmed and parsed tolerantly; an empty URL unless it is https,
// has a host and carries no user name or password.
QUrl parseLink(const QString& text);

// The GET for a subscription link: the client's fixed headers, the transfer timeout and
// redirects followed only within the same scheme, host and port.
QNetworkRequest downloadRequest(const QUrl& link);

// What a body yields: the entries in line order without repeated URIs, and the distinct
// parser messages of the refused lines in order of first appearance.
struct ParsedBody
{
    QVariantList entries;
    QStringList messages;
    int rejected = 0;
};
ParsedBody parseBody(const QByteArray& body);

// The same, a slice of lines at a time.
class BodyParser
{
public:
    explicit BodyParser(const QByteArray& body);
    // Parses up to `lines` more lines; true once the whole body is parsed.
    bool parseSome(qsizetype lines);
    const ParsedBody& result() const { return m_parsed; }

private:
    QStringList m_pieces;
    qsizetype m_next = 0;
    QSet<QString> m_uris;
    ParsedBody m_parsed;
};

// The notice after a body produced a list, and after it produced none.
QString listNotice(const ParsedBody& parsed, bool fromCache);
QString noProfilesNotice(const QStringList& messages);

// The copyable detail of a failed download, from the reply's HTTP status attribute (invalid
// when no status arrived).
QString failureDetail(const QVariant& httpStatus);

} // namespace subscription
