#include "playback/MpvPlayer.h"

namespace tavero {

MpvPlayer::MpvPlayer(QWidget *parent) : MediaPlayer(parent) {}
MpvPlayer::~MpvPlayer() = default;

} // namespace tavero
