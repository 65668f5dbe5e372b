#include "session/coreoutput.h"

#include <QProcess>

// QProcess reads a Windows pipe on its own; output beyond the budget is dropped instead,
// up to the next line break.
struct CoreOutput::Private
{
    bool skippingToLineEnd = false;
};

CoreOutput::CoreOutput(QProcess& process)
    : QObject(&process), m_process(process), d(std::make_unique<Private>())
{
    process.setProcessChannelMode(QProcess::MergedChannels);
    connect(&process, &QProcess::readyReadStandardOutput, this, &CoreOutput::takeIn);
}

CoreOutput::~CoreOutput() = default;

void CoreOutput::takeIn()
{
    QByteArray chunk = m_process.readAllStandardOutput();
    if (d->skippingToLineEnd) {
        const qsizetype lineEnd = chunk.indexOf('\n');
        if (lineEnd < 0)
            return;
        chunk.remove(0, lineEnd + 1);
        d->skippingToLineEnd = false;
    }
    const qint64 room = m_budget.room();
    if (chunk.size() > room) {
        const qsizetype lineEnd = room > 0 ? chunk.lastIndexOf('\n', room - 1) : -1;
        chunk.truncate(lineEnd + 1);
        d->skippingToLineEnd = true;
    }
    m_budget.spend(chunk.size());
    if (!chunk.isEmpty())
        emit received(chunk);
}

void CoreOutput::pause() {}

void CoreOutput::drain()
{
    QByteArray chunk = m_process.readAllStandardOutput();
    if (d->skippingToLineEnd) {
        // The rest of a dropped line is dropped too, even when no line break follows.
        const qsizetype lineEnd = chunk.indexOf('\n');
        chunk.remove(0, lineEnd < 0 ? chunk.size() : lineEnd + 1);
        d->skippingToLineEnd = lineEnd < 0;
    }
    if (!chunk.isEmpty())
        emit received(chunk);
}
