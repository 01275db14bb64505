// vantorel-render --animate run as a program: frames on keyframes are plain pictures, a killed
// film resumes with the same bytes, --frames, and the video step.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <algorithm>
#include <filesystem>
#include <thread>

#include "cli/RenderProgram.h"

namespace vantorel {
namespace {

using namespace test;
using Result = ProgramResult;

// The renderer with PATH set to `path` (for the ffmpeg it looks for).
Result RenderWithPath(const TempDir& dir, const std::string& args, const std::string& path) {
  std::vector<std::string> argv = Words(args);
  argv.insert(argv.begin(), VANTOREL_RENDER_EXE);
  return RunProgram(dir.path(), argv, [&] { setenv("PATH", path.c_str(), 1); });
}

std::string Frame(int n) { return (n < 10 ? "f_0" : "f_") + std::to_string(n); }

// The names in a folder, sorted.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Six frames of fixed formula 2 at 40 x 30 pixels, keys at frames 0, 3 and 5.
const std::string kFilm =
    "base default\nsize 40x30\nframes 6\n"
    "key 0 fixed=2 center-x=3,5 center-y=3 region-width=1 region-height=0,75 iterations=40\n"
    "key 3 center-x=3,4 region-width=0,5 region-height=0,375 w=0,5\n"
    "key 5 region-width=0,1 region-height=0,075 iterations=80\n";

TEST(AnimateRenderer, KeyframesArePlainPictures) {
  TempDir dir;
  WriteText(dir.file("film.anim"), kFilm);
  // What each key sets, together with those of the keys before it.
  const std::pair<int, std::string> keys[] = {
      {0, "--center-x 3,5 --region-width 1 --region-height 0,75 --iterations 40"},
      {3, "--center-x 3.4 --region-width 0.5 --region-height 0,375 --iterations 40 --w 0,5"},
      {5, "--center-x 3,4 --region-width 0,1 --region-height 0,075 --iterations 80 --w 0,5"}};
  for (const std::string type : {"png", "bmp"}) {
    ASSERT_EQ(Render(dir, Words("--animate film.anim -q -o f_%02d." + type)).status, 0);
    for (const auto& [frame, args] : keys) {
      SCOPED_TRACE(type + " frame " + std::to_string(frame));
      ASSERT_EQ(Render(dir, Words("--size 40x30 --fixed 2 --center-y 3 -q -o plain." + type + " " + args)).status, 0);
      EXPECT_EQ(ReadBytes(dir.file(Frame(frame) + "." + type)), ReadBytes(dir.file("plain." + type)));
    }
    // Frames between keys are other pictures.
    EXPECT_NE(ReadBytes(dir.file(Frame(1) + "." + type)), ReadBytes(dir.file(Frame(0) + "." + type)));
  }
}

// Twelve frames that take long enough to be killed in the middle.
const std::string kLongFilm =
    "size 40x30\nframes 12\nkey 0 fixed=2 iterations=3000\nkey 11 region-width=0,2 region-height=0,15\n";

TEST(AnimateRenderer, AKilledFilmResumesWithTheBytesOfAnUninterruptedRun) {
  TempDir whole, cut;
  for (const TempDir* d : {&whole, &cut}) WriteText(d->file("film.anim"), kLongFilm);
  const std::vector<std::string> args = Words("--animate film.anim -o out/f_%02d.png --threads 1");
  ASSERT_EQ(Render(whole, args).status, 0);
  const Result killed = Render(cut, args, 0, "", [&](pid_t child) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(cut.file("out/f_00.png")) && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    kill(child, SIGKILL);
  });
  EXPECT_EQ(killed.status, 128 + SIGKILL);
  // What the killed run left: whole frames (and perhaps a temporary file of the next).
  int complete = 0;
  for (const auto& e : std::filesystem::directory_iterator(cut.file("out"))) {
    const std::string name = e.path().filename().string();
    if (name[0] == '.') continue;
    EXPECT_EQ(ReadBytes(e.path().string()), ReadBytes(whole.file("out/" + name))) << name;
    ++complete;
  }
  EXPECT_GE(complete, 1);
  EXPECT_LT(complete, 12);
  // A frame truncated by something else and a leftover temporary file are not taken for frames.
  auto truncated = ReadBytes(whole.file("out/f_11.png"));
  truncated.resize(truncated.size() / 2);
  WriteBytes(cut.file("out/f_11.png"), truncated);
  WriteText(cut.file("out/.f_10.png.tmp-abcdef"), "half");
  const Result again = Render(cut, args);
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.err.find("kept frame"), std::string::npos) << again.err;
  EXPECT_NE(again.err.find("frame 11 carr"), std::string::npos) << again.err;
  EXPECT_NE(again.err.find("removed 1 unfinished frame file"), std::string::npos) << again.err;
  EXPECT_EQ(Names(cut.file("out")).size(), 12u);
  for (int n = 0; n < 12; ++n)
    EXPECT_EQ(ReadBytes(cut.file("out/" + Frame(n) + ".png")), ReadBytes(whole.file("out/" + Frame(n) + ".png"))) << n;
}

TEST(AnimateRenderer, ARangeRendersThoseFramesAndAFrameCutShortIsRenderedAgain) {
  TempDir dir;
  WriteText(dir.file("film.anim"), kFilm);
  ASSERT_EQ(Render(dir, Words("--animate film.anim --frames 2-4 -o part/f_%02d.bmp -q")).status, 0);
  EXPECT_EQ(Names(dir.file("part")), (std::vector<std::string>{"f_02.bmp", "f_03.bmp", "f_04.bmp"}));
  for (const std::string type : {"bmp", "jpg"}) {
    const std::vector<std::string> args = Words("--animate film.anim --frames 3 -o part/f_%02d." + type);
    ASSERT_EQ(Render(dir, args).status, 0);
    const auto whole = ReadBytes(dir.file("part/f_03." + type));
    WriteBytes(dir.file("part/f_03." + type), {whole.begin(), whole.end() - 10});
    const Result r = Render(dir, args);
    EXPECT_EQ(r.err.find("kept"), std::string::npos) << r.err;
    EXPECT_EQ(ReadBytes(dir.file("part/f_03." + type)), whole);
  }
}

// A fake ffmpeg that writes its arguments, one a line, beside itself and "video" to its output.
constexpr const char* kFakeFfmpeg =
    "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\nfor last; do :; done\n"
    "printf video > \"${last#file:}\"\nexit ${FAKE_STATUS:-0}\n";

TEST(AnimateRenderer, TheVideoIsMadeByTheFfmpegOnPathOrTheFramesStay) {
  TempDir dir;
  WriteText(dir.file("film.anim"), kFilm);
  std::filesystem::create_directories(dir.file("empty"));
  std::filesystem::create_directories(dir.file("bin"));
  WriteText(dir.file("bin/ffmpeg"), kFakeFfmpeg);
  chmod(dir.file("bin/ffmpeg").c_str(), 0755);
  const std::string path = dir.file("bin") + ":/usr/bin:/bin";
  Result r = RenderWithPath(dir, "--animate film.anim -o f/f_%02d.png --video v.mp4 --fps 12", path);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadBytes(dir.file("v.mp4")), (std::vector<unsigned char>{'v', 'i', 'd', 'e', 'o'}));
  const auto a = ReadBytes(dir.file("bin/args"));
  const std::string args(a.begin(), a.end());
  for (const char* part :
       {"-framerate\n12\n", "-start_number\n0\n-i\nfile:f/f_%02d.png\n-frames:v\n6\n", "libx264", "\nfile:.v.mp4.tmp-"})
    EXPECT_NE(args.find(part), std::string::npos) << part << " in\n" << args;
  // ffmpeg failing leaves no video; without ffmpeg the frames are complete and the status is 3.
  std::filesystem::remove(dir.file("v.mp4"));
  setenv("FAKE_STATUS", "1", 1);
  r = RenderWithPath(dir, "--animate film.anim -o f/f_%02d.png --video v.mp4", path);
  unsetenv("FAKE_STATUS");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ffmpeg failed (exit status 1)"), std::string::npos) << r.err;
  r = RenderWithPath(dir, "--animate film.anim -o g/f_%02d.png --video v.webm", dir.file("empty"));
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.err.find("ffmpeg was not found on PATH; the frames are in 'g'"), std::string::npos) << r.err;
  for (int n = 0; n < 6; ++n)
    EXPECT_EQ(ReadBytes(dir.file("g/" + Frame(n) + ".png")), ReadBytes(dir.file("f/" + Frame(n) + ".png")));
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"bin", "empty", "f", "film.anim", "g"}));
}

TEST(AnimateRenderer, ARealFfmpegEncodesTheFilm) {
  if (std::system("command -v ffmpeg > /dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
  TempDir dir;
  WriteText(dir.file("film.anim"), "size 40x30\nframes 5\nkey 0 fixed=2 iterations=20\nkey 4 region-width=1\n");
  const Result r = Render(dir, Words("--animate film.anim -o f_%d.jpg --video v.mp4 --fps 5 -q"));
  ASSERT_EQ(r.status, 0) << r.err;
  const auto video = ReadBytes(dir.file("v.mp4"));
  ASSERT_GT(video.size(), 12u);
  EXPECT_EQ(std::string(video.begin() + 4, video.begin() + 8), "ftyp");
}

}  // namespace
}  // namespace vantorel
