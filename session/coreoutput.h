#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

class QProcess;

// How much of a core's output the client takes in: a fixed number of bytes per short window.
// A core that prints without pause would otherwise keep the GUI thread busy reading and
// redacting.
class OutputBudget
{
public:
    static constexpr qint64 kWindowMs = 100;
    static constexpr qint64 kBytesPerWindow = 32 * 1024;

    OutputBudget() { m_clock.start(); }
    // Bytes that may still be taken in now.
    qint64 room();
    void spend(qint64 bytes) { m_spent += bytes; }
    // Until the next window opens.
    int msUntilRefill() const;

private:
    QElapsedTimer m_clock;
    qint64 m_windowStart = 0;
    qint64 m_spent = 0;
};

// Carries one core's merged stdout and stderr to the client, within an `OutputBudget`.
// On Linux the core writes into a pipe of our own that is simply not read while the budget
// is spent: the core waits in its write, and the client spends no time on it. Where that
// is not possible, output beyond the budget is dropped up to the next line break, so that
// no part of a line (and of a secret in it) is ever shown cut.
// Created before QProcess::start, as a child of the process; it keeps taking in (and,
// without receivers, discarding) output until the core ends, so an ending core never
// blocks on or dies from a closed pipe.
class CoreOutput : public QObject
{
    Q_OBJECT
public:
    explicit CoreOutput(QProcess& process);
    ~CoreOutput() override;

    // Takes in whatever the core has already written, regardless of the budget: its last
    // words when it has ended.
    void drain();

signals:
    void received(const QByteArray& chunk);

private:
    void takeIn();
    void pause();

    QProcess& m_process;
    OutputBudget m_budget;
    QTimer m_resume;
    struct Private;
    std::unique_ptr<Private> d;
};
