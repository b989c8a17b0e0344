#pragma once
#include "playback/MediaPlayer.h"

#include <QMap>

namespace tavero {

// WMP1 on libmpv. Not built yet.
class MpvPlayer : public MediaPlayer {
    Q_OBJECT
public:
    explicit MpvPlayer(QWidget *parent = nullptr);
    ~MpvPlayer() override;

    int PlayState() const override { return Closed; }
    int ReadyState() const override { return NothingLoaded; }
    int DisplaySize() const override { return displaySize_; }
    void setDisplaySize(int size) override { displaySize_ = size; }
    QString FileName() const override { return QString(); }
    void setFileName(const QString &) override {}
    QString ErrorDescription() const override { return QString(); }
    bool AutoSize() const override { return autoSize_; }
    void setAutoSize(bool on) override { autoSize_ = on; }
    bool ViewOption(int id) const override { return viewOptions_.value(id); }
    void setViewOption(int id, bool on) override { viewOptions_[id] = on; }
    void setStartOption(int, bool) override {}
    void setStartOptionValue(int, int) override {}
    bool Play(QString * = nullptr) override { return false; }
    bool Pause(QString * = nullptr) override { return false; }
    bool Stop(QString * = nullptr) override { return false; }
    bool Open(const QString &, QString * = nullptr) override { return false; }
    void ShowDialog(int) override {}

private:
    int displaySize_ = 0;
    bool autoSize_ = false;
    QMap<int, bool> viewOptions_;
};

} // namespace tavero
