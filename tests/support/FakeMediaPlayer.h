#pragma once
// A scriptable stand-in for WMP1. It keeps the states the contract names, logs every call, and raises the events a
// real component would: at once, or with `later` set the next time the window lets events run, or with `quiet` set
// never.

#include "playback/MediaPlayer.h"

#include <QMap>
#include <QSize>
#include <QStringList>
#include <functional>

namespace tavero::test {

class FakeMediaPlayer : public MediaPlayer {
    Q_OBJECT
public:
    explicit FakeMediaPlayer(QWidget *parent = nullptr);

    int PlayState() const override { return playState; }
    int ReadyState() const override { return readyState; }
    int DisplaySize() const override { return displaySize; }
    void setDisplaySize(int size) override;
    QString FileName() const override { return fileName; }
    void setFileName(const QString &path) override;
    QString ErrorDescription() const override { return errorDescription; }
    bool AutoSize() const override { return autoSize; }
    void setAutoSize(bool on) override;
    bool ViewOption(int id) const override { return viewOptions.value(id, false); }
    void setViewOption(int id, bool on) override;
    void setStartOption(int, bool) override {}
    void setStartOptionValue(int, int) override {}
    bool Play(QString *error = nullptr) override;
    bool Pause(QString *error = nullptr) override;
    bool Stop(QString *error = nullptr) override;
    bool Open(const QString &path, QString *error = nullptr) override;
    void ShowDialog(int which) override;

    // Scripting.
    enum class EndOrder { StopThenEnd, EndThenStop };
    void finishMedium(EndOrder order = EndOrder::StopThenEnd);
    void raiseError(const QString &description);
    void setPlayState(int state);   // emits PlayStateChange when it changes
    void setReadyState(int state);  // emits ReadyStateChange when it changes
    // Size at DisplaySize 0 (pixels); half and double scale it.
    void setVideoSize(QSize size);

    int playState = Closed;
    int readyState = NothingLoaded;
    int displaySize = DefaultSize;
    QString fileName;
    QString errorDescription;
    bool autoSize = false;
    QMap<int, bool> viewOptions;
    QStringList calls;              // "Open /a.mpg", "Stop", "setViewOption 26 1", ...
    QString openError;              // non-empty: Open fails with it
    bool playFails = false;
    bool quiet = false;             // true: change states without raising events
    bool later = false;             // true: events wait for the event loop, as the real component's do

private:
    void applySize();
    void raise(std::function<void()> event);
    QSize videoSize_{286, 253};
};

} // namespace tavero::test
