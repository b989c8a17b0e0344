#pragma once
// SIGTERM, SIGINT and SIGHUP (a session's end, Ctrl+C in the terminal, the
// terminal closed) close the program the way File > Exit does, with the
// same closing steps: playback stopped, the screensaver let go, the bus
// name given up, exit status 0.
//
// The signal handler only writes to a pipe; the event loop reads it, so
// the closing steps never run inside the handler.

#include <QObject>
#include <QPointer>

class QAction;
class QSocketNotifier;
class QWidget;

namespace tavero {

class QuitOnSignal : public QObject {
    Q_OBJECT
public:
    // One at a time. `exit` is the Exit item of `window`'s menu; a signal
    // that comes before the window is shown (while start-up still runs)
    // closes it as soon as it is.
    QuitOnSignal(QWidget *window, QAction *exit);
    ~QuitOnSignal() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void received();
    void exitLater();

    QPointer<QWidget> window_;
    QPointer<QAction> exit_;
    QSocketNotifier *notifier_ = nullptr;
    bool pending_ = false;
};

} // namespace tavero
