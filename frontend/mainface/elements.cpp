// One control painted in a given state straight into the frame image: where each element's
// pictures lie on the sheet in each window mode. The pressed picture of a vertical-mode button
// lies one element height below the normal one, of a horizontal-mode button one element width to
// the right; mini-mode buttons come from their own small picture with the pressed row at y 20.
#include "mainface.h"

#include "logical.h"

#include "xmmsPlayer.h"

#include <QPushButton>

namespace {

// The flag a vertical-mode toggle shows; null for ids that are not toggles.
const bool *toggleFlag(int id) {
  switch (id) {
  case 6:
    return &shuffleOn;
  case 7:
    return &repeatOn;
  case 8:
    return &equalizerOn;
  case 16:
    return &audio3dOn;
  case 17:
    return &bassBoosterOn;
  case 18:
    return &lyricsBig5;
  case 19:
    return &showLyrics;
  case 20:
    return &pointAMarked;
  case 21:
    return &pointBMarked;
  default:
    return nullptr;
  }
}

// The element that carries picture `id` in vertical mode; null for ids without one.
SkinElement *verticalElement(MainFace &w, int id) {
  switch (id) {
  case 0:
    return &w.prev;
  case 1:
  case 2:
    return &w.play;
  case 3:
    return &w.stop;
  case 4:
    return &w.next;
  case 5:
    return &w.OP_BTN;
  case 6:
    return &w.shuf_BTN;
  case 7:
    return &w.repeat_BTN;
  case 8:
    return &w.EQE_BTN;
  case 10:
    return &w.presets_BTN;
  case 15:
    return &w.EQ_BTN_ZERO;
  case 16:
    return &w.audio3d_btn;
  case 17:
    return &w.bassbooster;
  case 18:
    return &w.textcodec_BTN;
  case 19:
    return &w.showlrc_BTN;
  case 20:
    return &w.pos_A;
  case 21:
    return &w.pos_B;
  case 25:
    return &w.plist_BTN;
  default:
    return nullptr;
  }
}

SkinElement *horizontalElement(MainFace &w, int id) {
  switch (id) {
  case 0:
    return &w.H_prev;
  case 1:
  case 2:
    return &w.H_play;
  case 3:
    return &w.H_stop;
  case 4:
    return &w.H_next;
  case 20:
    return &w.H_pos_A;
  case 21:
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
    // Source x, width and place of the three transport pictures of the mini strip.
    struct Mini {
      int id, sx, w, x;
    };
    static const Mini kMini[] = {{0, 42, 20, 5}, {1, 0, 21, 26}, {2, 21, 21, 26}, {4, 62, 20, 47}};
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
    if (id == 20 || id == 21)
      put(*e, e->sx() + ((id == 20 ? pointAMarked : pointBMarked) ? e->w() : 0), e->sy());
    else if (id == 2)
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
  case 11: // the whole playlist panel
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
  case 12: // the whole lyrics panel
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
  case 13: // the whole equalizer panel
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
  else if (id == 2)
    put(*e, e->sx() + e->w(), e->sy() + offset); // the playing picture lies to the right
  else
    put(*e, e->sx(), e->sy() + offset);
}
