// The playlist panel of vertical mode (scroll bar and six lines) and the playlist file it shows.
#include "mainface.h"

#include "logical.h"

#include "core/m3u.h"

#include <QPainter>

void MainFace::loadPlaylistFile(const QString &path) {
  std::optional<QStringList> entries = m3u::read(path);
  if (!entries)
    return; // the panel keeps what it showed
  const bool changed = *entries != playlistModel;
  playlistModel = *entries;
  if (changed)
    playlistPanelChanged();
}

void MainFace::playlistPanelChanged() {
  // A shorter list would leave the old list's rows and the knob where the longer list had it:
  // the panel starts again from the top, drawn afresh over its background.
  firstPlaylistLine = 0;
  if (windowMode == VerticalMode && playlistPanelShown && !skinPixmap.isNull()) {
    composeFrame();
    update();
  }
}

void MainFace::drawPlaylistBar(int offset, bool pressed) {
  if (windowMode != VerticalMode || skinPixmap.isNull())
    return;
  const SkinElement &e = plist_Bar;
  copyToWindow(skinPixmap, e.sx(), e.sy(), e.w(), e.h(), e.x(), e.y());
  const int kh = e.field(9);
  copyToWindow(skinPixmap, e.field(6), e.field(7) + (pressed ? kh : 0), e.field(8), kh, e.x() + 1,
               e.y() + offset);
  const int entries = static_cast<int>(playlistModel.size());
  const int travel = e.h() - 20;
  // Clamped like the page drawPList shows: a tap on a row plays the entry shown there, also on
  // skins whose bar is shorter than the knob's travel.
  firstPlaylistLine = travel > 0 ? offset * (entries - 6) / travel : 0;
  firstPlaylistLine = qBound(0, firstPlaylistLine, qMax(0, entries - 6));
  drawPList(firstPlaylistLine);
}

void MainFace::drawPList(int first) {
  if (windowMode != VerticalMode || skinPixmap.isNull() || playlistLinePixmap.isNull())
    return;
  const int entries = static_cast<int>(playlistModel.size());
  if (entries == 0)
    return;
  if (entries <= 6)
    first = 0;
  else
    first = qBound(0, first, entries - 6); // a knob dragged past the track end shows the last page
  const int rows = qMin(entries, 6);
  const int barY = plist_Bar.y();
  for (int r = 0; r < rows; ++r) {
    const int i = first + r;
    const QString &path = playlistModel.at(i);
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    QPainter p(&playlistLinePixmap);
    sheetCopy(p, skinPixmap, 10, barY + 10, 210, 14, 0, 0);
    p.setFont(playlistLineFont);
    p.setPen(playlistLinePen);
    p.drawText(QRect(0, 0, 210, 14), Qt::AlignLeft | Qt::AlignTop,
               QString::number(i + 1) + "." + name);
    p.end();
    copyToWindow(playlistLinePixmap, 0, 0, 210, 14, 10, barY + 20 * r);
  }
}
