// The equalizer's portable code path (the one used where the processor lacks the vector
// instructions), built from the plug-in's own source, against the same model.
#include "eqref.h"
#include "m4ainput.h"

#include "testenv.h"

#include <gtest/gtest.h>

TEST(EqualizerPortablePath, BitExactAgainstTheModel) {
  velora::test::TempHome home;
  m4a::expectBitExact(init_iir, iir_filter, out, scaledpcm);
}

TEST(EqualizerPortablePath, FlatAndOdd) {
  velora::test::TempHome home;
  float bands[10] = {};
  init_iir(1, 0.0f, bands);
  short pcm[5] = {800, -800, 17, -9, 555};
  iir_filter(pcm, 9);
  // Flat is transparent: every whole frame comes back as it went in, the odd sample untouched.
  EXPECT_EQ(pcm[0], 800);
  EXPECT_EQ(pcm[1], -800);
  EXPECT_EQ(pcm[2], 17);
  EXPECT_EQ(pcm[3], -9);
  EXPECT_EQ(pcm[4], 555);
  EXPECT_EQ(halflength, 4);
}
