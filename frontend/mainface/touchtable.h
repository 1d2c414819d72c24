// The touchable buttons of each window mode as tables, in the order a press tests them (the
// first hit wins): which element carries the button, the id the press keeps and how the press
// shows. The press and release handlers (touch.cpp, touchrelease.cpp) walk these tables; what
// is not a plain button (the sliders, the drag zones, the lyrics band) stays in the handlers.
#pragma once

#include "mainface.h"
#include "touchzones.h"

#include <span>

namespace touchzones {

enum class PressLook {
  None,  // no pressed picture (tabs, A-B marks, the inert zone, switches that act on release)
  Drawn, // drawElement(id) at the pressed offset; play shows the picture it will switch to
  Sheet, // the pressed picture beside the normal one on the sheet (the window buttons)
};

struct TouchButton {
  int id;
  SkinElement MainFace::*element; // null: the fixed inert zone
  PressLook look;
  bool holds = true; // the press is kept in pressedElement until the release
};

// Vertical mode, the window's top part.
inline const TouchButton kVerticalTop[] = {
    {PrevElement, &MainFace::prev, PressLook::Drawn},
    {PlayElement, &MainFace::play, PressLook::Drawn},
    {StopElement, &MainFace::stop, PressLook::Drawn},
    {NextElement, &MainFace::next, PressLook::Drawn},
    {InertElement, nullptr, PressLook::None}, // consumed: nothing behind it is hit
    {PlaylistTabElement, &MainFace::btn_plistwin, PressLook::None},
    {LyricsTabElement, &MainFace::btn_lrcwin, PressLook::None},
    {EqualizerTabElement, &MainFace::btn_eqwin, PressLook::None},
    {ExitElement, &MainFace::exit_win, PressLook::Sheet},
    {MiniElement, &MainFace::mini_win, PressLook::Sheet},
    {RotateElement, &MainFace::H_win, PressLook::Sheet},
    {Audio3dElement, &MainFace::audio3d_btn, PressLook::Drawn},
    {BassBoosterElement, &MainFace::bassbooster, PressLook::Drawn},
    {PointAElement, &MainFace::pos_A, PressLook::None},
    {PointBElement, &MainFace::pos_B, PressLook::None},
};

// Vertical mode, the buttons of each panel (the scroll bar, the lines, the sliders and the
// reset button are handled beside them).
inline const TouchButton kPlaylistPanel[] = {
    {ShuffleElement, &MainFace::shuf_BTN, PressLook::None},
    {RepeatElement, &MainFace::repeat_BTN, PressLook::None},
    {OpenFolderElement, &MainFace::OP_BTN, PressLook::Drawn},
    {PlaylistsElement, &MainFace::plist_BTN, PressLook::Drawn},
};
inline const TouchButton kLyricsPanel[] = {
    {TextCodecElement, &MainFace::textcodec_BTN, PressLook::Drawn, false},
    {ShowLyricsElement, &MainFace::showlrc_BTN, PressLook::Drawn, false},
    // Held so that its release, wherever it lands, draws it released.
    {FontButtonElement, &MainFace::font_BTN, PressLook::Sheet},
};
inline const TouchButton kEqualizerPanel[] = {
    {PresetsElement, &MainFace::presets_BTN, PressLook::Drawn},
    {EqualizerOnElement, &MainFace::EQE_BTN, PressLook::Drawn},
};

// Horizontal mode; its pictures lie beside each other on the sheet, not below.
inline const TouchButton kHorizontal[] = {
    {PrevElement, &MainFace::H_prev, PressLook::Drawn},
    {PlayElement, &MainFace::H_play, PressLook::Drawn},
    {StopElement, &MainFace::H_stop, PressLook::Drawn},
    {NextElement, &MainFace::H_next, PressLook::Drawn},
    {ExitElement, &MainFace::H_exit_win, PressLook::Sheet},
    {MiniElement, &MainFace::H_mini_win, PressLook::Sheet},
    {RotateElement, &MainFace::V_win_btn, PressLook::Sheet},
    {PointAElement, &MainFace::H_pos_A, PressLook::None},
    {PointBElement, &MainFace::H_pos_B, PressLook::None},
};

// The button of `id` in the tables, or null.
inline const TouchButton *findButton(std::initializer_list<std::span<const TouchButton>> tables,
                                     int id) {
  for (std::span<const TouchButton> table : tables)
    for (const TouchButton &b : table)
      if (b.id == id)
        return &b;
  return nullptr;
}

// Whether the point lies on the button (the inert zone for the entry without an element).
inline bool hits(const MainFace &w, const TouchButton &b, const QPoint &p) {
  return b.element ? inside(w.*b.element, p) : kInertZone.contains(p);
}

} // namespace touchzones
