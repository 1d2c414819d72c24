#include "testenv.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <xmms/titlestring.h>

namespace {

std::string title(const char *fmt, TitleInput in) {
  char *t = xmms_get_titlestring(fmt, &in);
  std::string out = t ? t : "<null>";
  std::free(t);
  return out;
}

TitleInput record() {
  TitleInput in = {};
  in.__size = sizeof(TitleInput);
  in.__version = XMMS_TITLEINPUT_VERSION;
  return in;
}

} // namespace

TEST(TitleString, FormatsFieldsAndDropsSeparatorsOfEmptyOnes) {
  TitleInput in = record();
  char band[] = "Band", song[] = "Song", album[] = "LP", name[] = "song.m4a", path[] = "/m/",
       genre[] = "Pop", comment[] = "c", date[] = "2004-05-01";
  in.performer = band;
  in.track_name = song;
  EXPECT_EQ(title("%p - %t", in), "Band - Song");
  in.album_name = album;
  in.track_number = 3;
  in.year = 2004;
  in.genre = genre;
  in.comment = comment;
  in.date = date;
  in.file_name = name;
  in.file_ext = "m4a";
  in.file_path = path;
  EXPECT_EQ(title("%n. %p - %a (%y) [%g] %c %d %f %e %F 100%%", in),
            "3. Band - LP (2004) [Pop] c 2004-05-01 song.m4a m4a /m/ 100%");

  TitleInput partial = record();
  partial.track_name = song;
  EXPECT_EQ(title("%p - %t", partial), "Song");
  EXPECT_EQ(title("%n. %t", partial), "Song");
  partial.performer = band;
  partial.track_name = nullptr;
  EXPECT_EQ(title("%p - %a - %t", partial), "Band");
  partial.track_name = song;
  EXPECT_EQ(title("%p - %a - %t", partial), "Band - Song");
  EXPECT_EQ(title("[%p]", partial), "[Band]");
  EXPECT_EQ(title("%x %t", partial), "%x Song"); // unknown letters stay literal
}

TEST(TitleString, NullWhenNothingToShowOrRecordTooSmall) {
  TitleInput empty = record();
  EXPECT_EQ(title("%p - %t", empty), "<null>");
  EXPECT_EQ(title("no fields", empty), "<null>");
  char song[] = "Song";
  TitleInput small = record();
  small.track_name = song;
  small.__size = 52; // a record laid out for another machine is refused, not misread
  if (sizeof(TitleInput) > 52) {
    EXPECT_EQ(title("%t", small), "<null>");
  }
  EXPECT_EQ(xmms_get_titlestring(nullptr, &small), nullptr);
}

// The format is read once per process, so each case runs in a child of its own.
TEST(TitleString, GentitleFormatComesFromConfig) {
  auto formatIn = [](const std::string &config) {
    velora::test::TempHome home;
    if (!config.empty())
      velora::test::writeFile(home.path(".xmms/config"), config);
    pid_t pid = fork();
    if (pid == 0) {
      const char *fmt = xmms_get_gentitle_format();
      velora::test::writeFile(home.path("out"), fmt ? fmt : "<null>");
      _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return velora::test::readFile(home.path("out"));
  };
  EXPECT_EQ(formatIn(""), "%p - %t");
  EXPECT_EQ(formatIn("[xmms]\ngentitle_format=%t by %p\n"), "%t by %p");
  EXPECT_EQ(formatIn("[xmms]\ngentitle_format=\n"), "%p - %t");
}
