// The renderer run as a program by the command-line and multi-process tests, and what they share.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/ParameterFile.h"
#include "support/TestSupport.h"

namespace vantorel::test {

// Runs vantorel-render in `dir`, optionally with a file-size limit and another TMPDIR;
// `whileRunning` is called with the child's id before it is waited for.
inline ProgramResult Render(const TempDir& dir, std::vector<std::string> args, rlim_t fileSizeLimit = 0,
                            const std::string& tmpdir = "", const std::function<void(pid_t)>& whileRunning = {}) {
  args.insert(args.begin(), VANTOREL_RENDER_EXE);
  return RunProgram(
      dir.path(), args,
      [&] {
        if (!tmpdir.empty()) setenv("TMPDIR", tmpdir.c_str(), 1);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        if (fileSizeLimit > 0) setrlimit(RLIMIT_FSIZE, &limit);
      },
      whileRunning);
}

// The words of `line`, split at spaces; '' is an empty word.
inline std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string w; in >> w;) words.push_back(w == "''" ? "" : w);
  return words;
}

inline void WriteText(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// A small picture of fixed formula 2, whose chaotic orbits show any difference in how they were
// computed, and which renders quickly.
inline TCalcParams SmallBlock(int32_t width, int32_t height) {
  TCalcParams p = DefaultCalcParams();
  p.FixedFormula = 1;
  p.PictureWidth = width;
  p.PictureHeight = height;
  return p;
}

// A project file's bytes with every exponent "above the list", which colours black: fixed
// formula 2 never computes such a picture.
inline std::vector<uint8_t> AllAbove(std::vector<uint8_t> project, int64_t records) {
  const double big = 1e6;
  for (int64_t k = 0; k < records; ++k) std::memcpy(project.data() + project.size() - 16 * records + 8 * k, &big, 8);
  return project;
}

// In `dir`: s.Par holding `p`, its finished run full.* (full.LPr, full.TMP*, a picture of each
// type) and the run with more iterations on top, more.*.
inline void RenderFinishedRuns(const TempDir& dir, const TCalcParams& p, const std::vector<std::string>& types) {
  SaveParameterFile(dir.file("s.Par"), p);
  for (const std::string& type : types)
    ASSERT_EQ(Render(dir, Words("s.Par --project full.LPr --data full -q -o full." + type)).status, 0);
  ASSERT_EQ(Render(dir, Words("full.LPr --more --project more.LPr --data more -o more.bmp -q")).status, 0);
}

// Projects of `records` pixels of rows of `width` interrupted at several places, continued by
// `run` (given the arguments after the input): they end with the files of the uninterrupted runs
// of RenderFinishedRuns; so does a finished project deriving more.
inline void ExpectInterruptedRunsEndLikeWholeOnes(const TempDir& dir, int32_t width, int64_t records,
                                                  const std::function<ProgramResult(std::string)>& run) {
  const struct {
    const char* done;
    int64_t at;
    uint8_t state;
    const char* more;
    const char* like;
  } cases[] = {// Paused in the middle of row 9 and right behind the end of row 4; deriving paused in row 11.
               {"full.LPr", 9 * width + 13, StatePaused, "", "full"},
               {"full.LPr", 5 * width, StatePaused, "", "full"},
               {"more.LPr", 11 * width + 20, StateDerivingPaused, "", "more"},
               {"full.LPr", records, StateFinished, " --more", "more"}};
  for (const auto& c : cases) {
    SCOPED_TRACE("record " + std::to_string(c.at));
    WriteInterruptedProject(dir.file("full.LPr"), dir.file(c.done), records, c.at, c.state, dir.file("cut.LPr"));
    const ProgramResult r = run(std::string("cut.LPr --data cont -o cont.bmp --project cont.LPr") + c.more);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("continuing") != std::string::npos, c.state == StatePaused) << r.err;
    for (const std::string ext : {".TMP1", ".TMP2", ".bmp", ".LPr"})
      EXPECT_EQ(ReadBytes(dir.file("cont" + ext)), ReadBytes(dir.file(c.like + ext))) << ext;
  }
}

}  // namespace vantorel::test
