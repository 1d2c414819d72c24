// One control painted in a given state straight into the frame image: where each element's
// pictures lie on the sheet in each window mode. The pressed picture of a vertical-mode button
// lies one element height below the normal one, of a horizontal-mode button one element width to
// the right; mini-mode buttons come from their own small picture with the pressed row at y 20.
#include "mainface.h"

#include "elementid.h"

#include "logical.h"

#include "xmmsPlayer.h"

#include <QPushButton>

namespace {

// The flag a vertical-mode toggle shows; null for ids that are not toggles.
const bool *toggleFlag(int id) {
  switch (id) {
  case ShuffleElement:
    return &shuffleOn;
  case RepeatElement:
    return &repeatOn;
  case EqualizerOnElement:
    return &equalizerOn;
  case Audio3dElement:
    return &audio3dOn;
  case BassBoosterElement:
    return &bassBoosterOn;
  case TextCodecElement:
    return &lyricsBig5;
  case ShowLyricsElement:
    return &showLyrics;
  case PointAElement:
    return &pointAMarked;
  case PointBElement:
    return &pointBMarked;
  default:
    return nullptr;
  }
}

// The element that carries picture `id` in vertical mode; null for ids without one.
SkinElement *verticalElement(MainFace &w, int id) {
  switch (id) {
  case PrevElement:
    return &w.prev;
  case PlayElement:
  case PlayingElement:
    return &w.play;
  case StopElement:
    return &w.stop;
  case NextElement:
    return &w.next;
  case OpenFolderElement:
    return &w.OP_BTN;
  case ShuffleElement:
    return &w.shuf_BTN;
  case RepeatElement:
    return &w.repeat_BTN;
  case EqualizerOnElement:
    return &w.EQE_BTN;
  case PresetsElement:
    return &w.presets_BTN;
  case EqualizerResetElement:
    return &w.EQ_BTN_ZERO;
  case Audio3dElement:
    return &w.audio3d_btn;
  case BassBoosterElement:
    return &w.bassbooster;
  case TextCodecElement:
    return &w.textcodec_BTN;
  case ShowLyricsElement:
    return &w.showlrc_BTN;
  case PointAElement:
    return &w.pos_A;
  case PointBElement:
    return &w.pos_B;
  case PlaylistsElement:
    return &w.plist_BTN;
  default:
    return nullptr;
  }
}

SkinElement *horizontalElement(MainFace &w, int id) {
  switch (id) {
  case PrevElement:
    return &w.H_prev;
  case PlayElement:
  case PlayingElement:
    return &w.H_play;
  case StopElement:
    return &w.H_stop;
  case NextElement:
    return &w.H_next;
  case PointAElement:
    return &w.H_pos_A;
  case PointBElement:
    return &w.H_pos_B;
  default:
    return nullptr;
  }
}

} // namespace

void MainFace::drawElement(int id, int offset) {
  const QImage &sheet = skinPixmap;
  auto put = [&](const SkinElement &e, int sx, int sy) {
    copyToWindow(sheet, sx, sy, e.w(), e.h(), e.x(), e.y());
  };
  auto normal = [&](const SkinElement &e) { put(e, e.sx(), e.sy()); };
  auto toggle = [&](const SkinElement &e, bool on) { put(e, e.sx(), e.sy() + (on ? e.h() : 0)); };
  auto panelStrip = [&](const SkinElement &e) {
    copyToWindow(sheet, 0, e.sy(), kLogicalWidth, e.h(), 0, e.y());
  };

  switch (windowMode) {
  case MiniMode: {
    makeMiniImages();
    // Source x, width and place of the three transport pictures of the mini strip.
    struct Mini {
      int id, sx, w, x;
    };
    static const Mini kMini[] = {{PrevElement, 42, 20, 5},
                                 {PlayElement, 0, 21, 26},
                                 {PlayingElement, 21, 21, 26},
                                 {NextElement, 62, 20, 47}};
    for (const Mini &m : kMini)
      if (m.id == id)
        copyToWindow(miniButtonsPixmap, m.sx, offset, m.w, 20, m.x, 3);
    return;
  }
  case HorizontalMode: {
    if (hPanelsHidden)
      return; // the strips that carry the buttons are slid out of sight
    const SkinElement *e = horizontalElement(*this, id);
    if (!e)
      return;
    if (id == PointAElement || id == PointBElement)
      put(*e, e->sx() + ((id == PointAElement ? pointAMarked : pointBMarked) ? e->w() : 0),
          e->sy());
    else if (id == PlayingElement)
      put(*e, e->sx() + offset, e->sy() - e->h()); // the playing picture lies above
    else
      put(*e, e->sx() + offset, e->sy());
    return;
  }
  case VerticalMode:
    break;
  default:
    return;
  }

  switch (id) {
  case PlaylistTabElement: // the whole playlist panel
    lyricColourButton->hide();
    lyricBackColourButton->hide();
    panelStrip(plistwin);
    normal(OP_BTN);
    normal(plist_BTN);
    normal(plist_Bar);
    toggle(shuf_BTN, shuffleOn);
    toggle(repeat_BTN, repeatOn);
    toggle(btn_plistwin, playlistPanelShown);
    toggle(btn_lrcwin, lyricsPanelShown);
    toggle(btn_eqwin, equalizerPanelShown);
    if (!playlistModel.isEmpty()) {
      const int position = controller ? controller->position() : 0;
      drawPlaylistBar(position * 100 / static_cast<int>(playlistModel.size()), false);
    }
    return;
  case LyricsTabElement: // the whole lyrics panel
    panelStrip(lrcwin);
    toggle(showlrc_BTN, showLyrics);
    toggle(textcodec_BTN, lyricsBig5);
    normal(font_BTN);
    normal(color_BTN);
    if (winEnabled)
      toggle(btn_plistwin, playlistPanelShown);
    toggle(btn_lrcwin, lyricsPanelShown);
    toggle(btn_eqwin, equalizerPanelShown);
    lyricColourButton->show();
    lyricBackColourButton->show();
    return;
  case EqualizerTabElement: // the whole equalizer panel
    lyricColourButton->hide();
    lyricBackColourButton->hide();
    panelStrip(eqwin);
    for (int i = 0; i < 10; ++i)
      drawEqSlider(i);
    drawEqSlider(11);
    toggle(EQE_BTN, equalizerOn);
    normal(presets_BTN);
    normal(EQ_BTN_ZERO);
    if (winEnabled)
      toggle(btn_plistwin, playlistPanelShown);
    toggle(btn_lrcwin, lyricsPanelShown);
    toggle(btn_eqwin, equalizerPanelShown);
    drawEqCurve();
    return;
  default:
    break;
  }

  const SkinElement *e = verticalElement(*this, id);
  if (!e)
    return; // 9, 14, 22, 23, 24 and unknown ids have no picture of their own
  if (const bool *flag = toggleFlag(id))
    toggle(*e, *flag); // a toggle always shows its state, pressed or not
  else if (id == PlayingElement)
    put(*e, e->sx() + e->w(), e->sy() + offset); // the playing picture lies to the right
  else
    put(*e, e->sx(), e->sy() + offset);
}
