// The renderer run as a program by the command-line tests.
#pragma once

#include <sys/resource.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

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

}  // namespace vantorel::test
