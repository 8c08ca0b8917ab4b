// The window's long work, on a thread of its own: the script run and the
// listing.
#include "app/FrmQuarvex.h"
#include "app/WorkerToolkit.h"
#include "base/ProcedureError.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <limits>
#include <memory>

namespace quarvex {

namespace {

// A server that does not answer the driver's cancel is not waited for.
constexpr int breakOffAfterMs = 500;

} // namespace

void FrmQuarvex::runInBackground(const Work& work) {
    WorkerToolkit worker(*m_toolkit);
    connect(&worker, &WorkerToolkit::statusChanged, this,
            [this](const QString& text) { m_toolkit->setStatus(text); });
    connect(&worker, &WorkerToolkit::progressed, this, &FrmQuarvex::showProgress);

    std::optional<Failure> failure;
    std::unique_ptr<QThread> thread(
        QThread::create([&] { failure = failureOf([&] { work(worker, worker.runState); }); }));
    QEventLoop loop;
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    m_worker = &worker;
    ++m_workNumber;
    showRunning(true);
    thread->start();
    loop.exec();
    thread->wait();
    // The status and progress it sent last come before the list goes back.
    QCoreApplication::sendPostedEvents(this);
    m_worker = nullptr;
    worker.giveListBack(m_toolkit->objectList(), m_runState);
    m_runState.LastError = worker.runState.LastError;
    showRunning(false);
    if (m_quitAfterWork)
        QCoreApplication::quit();
    if (failure)
        quarvex::raise(*failure);
}

void FrmQuarvex::showRunning(bool running) {
    m_cmdCancel->setEnabled(running);
    m_prgRun->reset();
    // Until the first figures come, the bar only says that work goes on.
    m_prgRun->setRange(0, running ? 0 : 1);
    m_unitsPerStep = 1;
    if (running)
        m_toolkit->beginBackground(*m_cmdCancel, [this] { return confirmStopOnClose(); });
    else
        m_toolkit->endBackground();
}

void FrmQuarvex::showProgress(const RunProgress& progress) {
    if (!m_worker)
        return;
    m_unitsPerStep = 1 + progress.units / std::numeric_limits<int>::max();
    m_prgRun->setRange(0, int(progress.units / m_unitsPerStep));
    m_prgRun->setValue(int(progress.unitsDone / m_unitsPerStep));
    m_toolkit->setStatus(m_progressText.text(progress));
}

void FrmQuarvex::cancelWork() {
    if (!m_worker)
        return;
    m_cmdCancel->setEnabled(false);
    m_worker->cancellation().cancel();
    QTimer::singleShot(breakOffAfterMs, this, [this, number = m_workNumber] {
        if (m_worker && m_workNumber == number)
            m_worker->cancellation().breakOff();
    });
}

void FrmQuarvex::stopForSignal() {
    if (!m_worker) {
        QCoreApplication::quit();
        return;
    }
    m_quitAfterWork = true;
    cancelWork();
}

// Closing while work runs is asked about first; a yes cancels it, and the
// window closes once it has ended.
bool FrmQuarvex::confirmStopOnClose() {
    if (!m_worker)
        return true;
    if (!m_services.confirmStop())
        return false;
    cancelWork();
    return true;
}

} // namespace quarvex
