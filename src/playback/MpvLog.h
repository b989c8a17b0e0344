#pragma once
// mpv's warnings and errors on standard error, "tavero-player: mpv: " and
// mpv's line (with its module, "[ao/alsa]", unless it is the player core's),
// so that a user who started the program from a terminal sees why something
// failed.
//
// A damaged stream has mpv repeat itself many times a second: each line is
// printed once for a medium (lines that differ only in their numbers count
// as one), and after kMaxLines different ones the rest of that medium's
// lines are left out, which is said once.

#include <QByteArray>
#include <QSet>

struct mpv_event_log_message;

namespace tavero {

class MpvLog {
public:
    static constexpr int kMaxLines = 10;

    void print(const mpv_event_log_message &message);
    // A new medium: its lines are printed again.
    void newMedium();

private:
    QSet<QByteArray> printed_;
    bool full_ = false;
};

} // namespace tavero
