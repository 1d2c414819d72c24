// Titles through the engine's title format. The format is read once per process, so this
// program sets its own before anything asks for it.
#include "harness.h"

#include "testenv.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace m4a;
using velora::test::fixture;
using velora::test::TempHome;

namespace {

// Every field the title record can carry, with separators that show empty ones.
const char *kFormat = "n=%n y=%y p=%p a=%a t=%t g=%g c=%c f=%f e=%e F=%F";

class TitleFormat : public ::testing::Environment {
public:
  void SetUp() override {
    home = std::make_unique<TempHome>();
    velora::test::writeFile(home->path(".xmms/config"),
                            std::string("[xmms]\ngentitle_format=") + kFormat + "\n");
    ASSERT_NE(plugin().ip, nullptr);
  }
  void TearDown() override { home.reset(); }
  std::unique_ptr<TempHome> home;
};
const auto *environment = ::testing::AddGlobalTestEnvironment(new TitleFormat);

std::string folderOf(const std::string &path) { return path.substr(0, path.rfind('/') + 1); }

} // namespace

TEST(Titles, Mp4TagsFillTheRecord) {
  auto getMP4title = plugin().sym<char *(*)(mp4ff_t *, const char *)>("getMP4title");
  ASSERT_NE(getMP4title, nullptr);
  std::string path = fixture("m4a/tagged.m4a");
  Mp4File file(path, true);
  ASSERT_NE(file.mp4, nullptr);
  char *title = getMP4title(file.mp4, path.c_str());
  ASSERT_NE(title, nullptr);
  // Track 3/12 gives 3, date 2004-05-01 gives 2004; the folder ends with "/".
  EXPECT_EQ(std::string(title), "n=3 y=2004 p=Tone Artist a=Tone Album t=Tone Title g=Test Genre "
                                "c=made by make.sh f=tagged.m4a e=m4a F=" +
                                    folderOf(path));
  free(title);

  // No dot in the name: an empty extension (the formatter drops an empty field with the text
  // before it). A dot in a folder name is not an extension.
  title = getMP4title(file.mp4, "/music/v1.0/song");
  ASSERT_NE(title, nullptr);
  EXPECT_NE(std::string(title).find(" f=song F=/music/v1.0/"), std::string::npos) << title;
  free(title);

  // get_song_info gives the same title.
  char *info = nullptr;
  int length = 0;
  plugin().ip->get_song_info(const_cast<char *>(path.c_str()), &info, &length);
  ASSERT_NE(info, nullptr);
  EXPECT_NE(std::string(info).find("t=Tone Title"), std::string::npos);
  EXPECT_GT(length, 1000);
  free(info);
}

TEST(Titles, Mp4WithoutTags) {
  auto getMP4title = plugin().sym<char *(*)(mp4ff_t *, const char *)>("getMP4title");
  std::string path = fixture("m4a/silence1000.m4a");
  Mp4File file(path, true);
  ASSERT_NE(file.mp4, nullptr);
  char *title = getMP4title(file.mp4, path.c_str());
  ASSERT_NE(title, nullptr);
  // Only the file fields have text: the title starts with the file name.
  EXPECT_EQ(std::string(title), "silence1000.m4a e=m4a F=" + folderOf(path));
  EXPECT_EQ(std::string(title).find("Tone"), std::string::npos) << title;
  free(title);
}

TEST(Titles, RawAacTitleFromTheFileName) {
  recorder().reset();
  std::string path = fixture("m4a/raw.aac");
  ASSERT_TRUE(playToEnd(path));
  std::lock_guard<std::mutex> g(recorder().lock);
  ASSERT_EQ(recorder().infos.size(), 1u);
  // On this path the record's path is the whole file path.
  EXPECT_EQ(recorder().infos[0].title, "raw.aac e=aac F=" + path);
}
