// The names of the touchable controls. One number names a control, the picture drawElement
// paints, the value kept in pressedElement and the command code of buttonClick; the numbers are
// fixed (key maps, tests and the command codes speak them).
#pragma once

enum ElementId : int {
  PrevElement = 0,
  PlayElement = 1,    // the play picture (and the play/pause control)
  PlayingElement = 2, // the playing picture of the same control
  StopElement = 3,
  NextElement = 4,
  OpenFolderElement = 5,  // "OP_BTN"
  ShuffleElement = 6,     // "shuf_BTN"
  RepeatElement = 7,      // "repeat_BTN"
  EqualizerOnElement = 8, // "EQE_BTN"
  InertElement = 9,       // the inert zone: no picture, no command
  PresetsElement = 10,
  PlaylistTabElement = 11,  // as a picture: the whole playlist panel
  LyricsTabElement = 12,    // as a picture: the whole lyrics panel
  EqualizerTabElement = 13, // as a picture: the whole equalizer panel
  FontButtonElement = 14,   // held until its release, which draws it released (no command)
  EqualizerResetElement = 15,
  Audio3dElement = 16,
  BassBoosterElement = 17,
  TextCodecElement = 18,
  ShowLyricsElement = 19,
  PointAElement = 20,
  PointBElement = 21,
  ExitElement = 22,
  MiniElement = 23,      // to mini mode (in mini mode: the small button at x 180)
  RotateElement = 24,    // to the other full mode (in mini mode: restore)
  PlaylistsElement = 25, // "plist_BTN"
};
