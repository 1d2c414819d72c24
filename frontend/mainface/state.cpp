#include "state.h"

int volumePercent = 45;
bool shuffleOn = true;
bool repeatOn = false;
bool equalizerOn = true;
bool bassBoosterOn = true;
bool audio3dOn = false;
int lyricsFontSize = 18;
bool lyricsBig5 = false;
bool showLyrics = false;
bool sltfwdEnabled = false;

int keyVolUp = 4154, keyVolDown = 4155, keyEnter = 4101, keyUp = 4115, keyDown = 4117,
    keyLock = 4146, keyLeft = 4114, keyRight = 4116, keyCamera = 4145, keyNext = 0, keyPrev = 0,
    keySoftLeft = 4152, keySoftRight = 4153, keyLine = 4148;
int keyLrcEarlier = 4149, keyLrcLater = 4150;
int keySpeedDown = 4147, keySpeedUp = 4151;
double playbackSpeed = 1.0;
bool keyboardGrabbed = false;

bool playingFlag = false;
bool pausedFlag = false;

int windowMode = VerticalMode;

bool playlistPanelShown = true, lyricsPanelShown = false, equalizerPanelShown = false;
bool winEnabled = true;
int volumeTrack = 0, hVolumeTrack = 0, eqCentreY = 0;
QString titleFontFamily;
int xmasFrame = 1;
bool hPanelsHidden = false;

int eqValues[11] = {};

bool abRepeat = false;
int pointA = 0, pointB = 0;
bool pointAMarked = false, pointBMarked = false;
int currentSecond = 0;

bool clearLoop() {
  const bool marked = pointAMarked || pointBMarked;
  abRepeat = false;
  pointA = pointB = 0;
  pointAMarked = pointBMarked = false;
  return marked;
}

int firstPlaylistLine = 0;
bool lyricsLoaded = false;
int lyricsOffset = 2;
