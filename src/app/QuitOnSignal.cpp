#include "app/QuitOnSignal.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tavero {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int pipeEnds[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Full pipe: a quit is pending already.
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

} // namespace

QuitOnSignal::QuitOnSignal(QWidget *window, QAction *exit) : window_(window), exit_(exit)
{
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("tavero-player: no pipe for signals; SIGTERM ends the program at once");
        pipeEnds[0] = pipeEnds[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitOnSignal::received);
    window->installEventFilter(this);
    struct sigaction action = {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);
}

QuitOnSignal::~QuitOnSignal()
{
    if (!notifier_)
        return;
    for (int s : kSignals)
        ::signal(s, SIG_DFL);
    delete notifier_;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

void QuitOnSignal::received()
{
    char bytes[16];
    while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
    }
    // A dialog waiting for an answer (a message, the file dialog) would
    // keep the program running after its main window has closed: it is
    // closed first, and Exit runs once its own event loop has ended.
    QWidget *modal = QApplication::activeModalWidget();
    for (int i = 0; modal && i < 8; ++i) {
        modal->close();
        QWidget *next = QApplication::activeModalWidget();
        modal = next == modal ? nullptr : next;
    }
    if (window_ && window_->isVisible())
        exitLater();
    else
        pending_ = true;
}

bool QuitOnSignal::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window_ && event->type() == QEvent::Show && pending_) {
        pending_ = false;
        exitLater();
    }
    return QObject::eventFilter(watched, event);
}

void QuitOnSignal::exitLater()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (exit_)
                exit_->trigger();
        },
        Qt::QueuedConnection);
}

} // namespace tavero
