#include "WorkerRun.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <memory>

namespace WorkerRun {

void run(const std::function<void()>& work, const std::function<void()>& tick, int interval)
{
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create(work));
    QTimer timer;
    if (tick) {
        QObject::connect(&timer, &QTimer::timeout, &loop, tick);
        timer.start(interval);
    }
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
}

} // namespace WorkerRun
