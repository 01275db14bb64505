#include "cli/Video.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include "cli/Render.h"
#include "cli/RenderSteps.h"
#include "core/IoError.h"
#include "core/SafeFile.h"

extern char** environ;

namespace vantorel::cli {

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// ffmpeg takes "name:" at the start of a file name for a protocol; "file:" keeps any name a file.
std::string FileUrl(const std::string& path) { return "file:" + path; }

// The arguments of ffmpeg for the frames and the temporary video.
std::vector<std::string> FfmpegArguments(const Options& o, const FramePattern& pattern, int32_t frames, int32_t width,
                                         int32_t height, const std::string& temp) {
  std::vector<std::string> args{"ffmpeg",
                                "-nostdin",
                                "-y",
                                "-loglevel",
                                "error",
                                "-framerate",
                                std::to_string(o.Fps),
                                "-start_number",
                                "0",
                                "-i",
                                FileUrl(pattern.Text()),
                                "-frames:v",
                                std::to_string(frames)};
  // The chroma of 4:2:0 video covers 2 x 2 pixels: an odd side gets one more (black) pixel.
  if (width % 2 != 0 || height % 2 != 0) args.insert(args.end(), {"-vf", "pad=ceil(iw/2)*2:ceil(ih/2)*2"});
  if (EndsWith(*o.Video, ".webm"))
    args.insert(args.end(), {"-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p", "-crf", "30", "-b:v", "0", "-f", "webm"});
  else
    args.insert(args.end(),
                {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-crf", "18", "-movflags", "+faststart", "-f", "mp4"});
  args.push_back(FileUrl(temp));
  return args;
}

}  // namespace

int MakeVideo(const Options& o, const FramePattern& pattern, int32_t frames, int32_t width, int32_t height,
              std::ostream& err) {
  std::vector<int32_t> missing;
  std::error_code ec;
  for (int32_t n = 0; n < frames; ++n)
    if (!std::filesystem::is_regular_file(pattern.Name(n), ec)) missing.push_back(n);
  if (!missing.empty()) {
    err << ProgramName() << ": the video needs every frame of the film; " << FrameListText(missing)
        << (missing.size() == 1 ? " is" : " are") << " missing (render them, then run again)\n";
    return 1;
  }
  CheckOutputDirectory(*o.Video);
  // ffmpeg writes into a temporary file beside the video (truncating it, so the file SafeFile
  // holds is the one it fills); only a finished video takes the name.
  SafeFile temp(*o.Video);
  const std::vector<std::string> args = FfmpegArguments(o, pattern, frames, width, height, temp.TempPath());
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, "ffmpeg", nullptr, nullptr, argv.data(), environ);
  if (spawned == ENOENT) {
    err << ProgramName() << ": ffmpeg was not found on PATH; the frames are in '" << pattern.Folder()
        << "'; install Debian's ffmpeg package to make the video\n";
    return kNoFfmpegStatus;
  }
  if (spawned != 0) {
    err << ProgramName() << ": cannot start ffmpeg: " << std::strerror(spawned) << "\n";
    return 1;
  }
  Note(o, err,
       "encoding " + std::to_string(frames) + " frames at " + std::to_string(o.Fps) + " per second with ffmpeg");
  int status = 0;
  bool stopSent = false;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (done < 0 && errno != EINTR) {
      err << ProgramName() << ": lost ffmpeg: " << std::strerror(errno) << "\n";
      return 1;
    }
    if (StopRequested() && !stopSent) {
      kill(child, SIGTERM);
      stopSent = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (StopRequested()) {
    err << ProgramName() << ": interrupted; the video was not written (the frames are kept)\n";
    return 1;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    err << ProgramName() << ": ffmpeg failed ("
        << (WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                              : "signal " + std::to_string(WTERMSIG(status)))
        << "); the video was not written, the frames are kept\n";
    return 1;
  }
  temp.Commit();
  Note(o, err, "wrote the video '" + *o.Video + "'");
  return 0;
}

}  // namespace vantorel::cli
