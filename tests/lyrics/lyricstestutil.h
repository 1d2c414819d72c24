// What the lyrics tests share: a string helper and the checks every loaded list must pass.
#pragma once

#include "lyrics.h"

#include <QString>
#include <gtest/gtest.h>
#include <string>

inline QString q(const std::string &s) { return QString::fromStdString(s); }

// Every list starts and ends with an empty sentinel entry and is in time order.
inline void expectSentinels(const LyricsReader &r) {
  ASSERT_GE(r.lyricLines.size(), 2);
  EXPECT_EQ(r.lyricLines.first().time, 0.0);
  EXPECT_TRUE(r.lyricLines.first().text.isEmpty());
  EXPECT_EQ(r.lyricLines.last().time, 268435455.0);
  EXPECT_TRUE(r.lyricLines.last().text.isEmpty());
  for (int i = 1; i < r.lyricLines.size(); ++i)
    EXPECT_LE(r.lyricLines[i - 1].time, r.lyricLines[i].time) << "entry " << i;
}
