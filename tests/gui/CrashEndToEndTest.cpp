// The real desktop program killed at random moments in every calculation state, during saves and
// during continuations: its left-over temporary files are recovered into a project, which goes on
// to the same data as a run that was never cut short, both in the desktop program and in the
// renderer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "app/Recovery.h"
#include "support/TestSupport.h"

#if defined(VANTOREL_EXE) && defined(VANTOREL_RENDER_EXE)

namespace vantorel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// True while the program has not ended; it is left unreaped for RunProgram to collect.
bool Running(pid_t pid) {
  siginfo_t info{};
  return waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

int64_t Size(const fs::path& file) {
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  return ec ? -1 : int64_t(size);
}

// Polls until `done` holds or the program ends or time runs out; true when `done` held.
bool WaitUntil(pid_t program, const std::function<bool()>& done, std::chrono::seconds limit) {
  for (const auto end = Clock::now() + limit; Clock::now() < end;
       std::this_thread::sleep_for(std::chrono::milliseconds(1))) {
    if (done()) return true;
    if (!Running(program)) return done();
  }
  return false;
}

std::vector<unsigned char> Prefix(std::vector<unsigned char> bytes, size_t n) {
  bytes.resize(std::min(bytes.size(), n));
  return bytes;
}

// ---------------------------------------------------------------------------------------------
// Kills at random moments in every calculation state.

// The random moments: VANTOREL_CRASH_SEED repeats a choice, otherwise the clock chooses (the
// seed is printed, so that a failure can be repeated).
std::mt19937_64& Moments() {
  static std::mt19937_64 rng = [] {
    const char* given = std::getenv("VANTOREL_CRASH_SEED");
    const uint64_t seed = given ? std::strtoull(given, nullptr, 10)
                                : uint64_t(std::chrono::system_clock::now().time_since_epoch().count());
    std::printf("[ figures  ] VANTOREL_CRASH_SEED=%llu\n", static_cast<unsigned long long>(seed));
    return std::mt19937_64(seed);
  }();
  return rng;
}
int64_t Between(int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(Moments()); }

bool SavingIn(const fs::path& folder) {  // a project file is being written (SafeFile's temporary)
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().filename().string().find(".LPr.tmp-") != std::string::npos) return true;
  return false;
}

using Bytes = std::vector<unsigned char>;

class CrashStates : public ::testing::Test {
 protected:
  static constexpr int32_t kW = 120, kH = 80;
  static constexpr int64_t kPixels = int64_t(kW) * kH;

  void SetUp() override {
    TCalcParams p = DefaultCalcParams();
    p.PictureWidth = kW, p.PictureHeight = kH;
    p.Iterations = 1500, p.CalmDownIterations = 300;
    SaveParameterFile(dir.file("s.Par"), p);
  }
  void TearDown() override {
    std::printf("[ figures  ] %d kills: %d during a first run, %d during a derive run, %d during a save\n", kills,
                firstRunKills, deriveKills, saveKills);
  }

  fs::path Folder(const std::string& name) {
    const fs::path f = dir.path() / name;
    fs::create_directories(f);
    return f;
  }
  // Runs argv in folder (TMPDIR there too) and kills it once `when` holds, a random 0-4 ms
  // later. True when it was still running then.
  bool KillWhen(const fs::path& folder, const std::vector<std::string>& argv, const std::function<bool()>& when) {
    bool killed = false;
    const std::string tmp = folder.string();
    test::RunProgram(
        folder, argv, [tmp] { setenv("TMPDIR", tmp.c_str(), 1); },
        [&](pid_t pid) {
          if (WaitUntil(pid, when, std::chrono::seconds(120)))
            std::this_thread::sleep_for(std::chrono::microseconds(Between(0, 4000)));
          killed = Running(pid);
          kill(pid, SIGKILL);
        });
    kills += killed;
    return killed;
  }
  // Runs argv in folder until `done` holds (looked at every 20 ms), then ends it; true when it
  // held.
  static bool WaitUntilKilled(const fs::path& folder, const std::vector<std::string>& argv,
                              const std::function<bool()>& done) {
    bool held = false;
    test::RunProgram(folder, argv, {}, [&](pid_t pid) {
      for (const auto end = Clock::now() + std::chrono::seconds(120); !held && Clock::now() < end && Running(pid);
           std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        held = done();
      kill(pid, SIGKILL);
    });
    return held;
  }
  void Render(const fs::path& folder, std::vector<std::string> args) {
    args.insert(args.begin(), VANTOREL_RENDER_EXE);
    args.push_back("--quiet");
    const test::ProgramResult r = test::RunProgram(folder, args);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  // The data part of a project file: TMP1's records followed by TMP2's.
  static Bytes DataOf(const fs::path& project) {
    const Bytes b = test::ReadBytes(project.string());
    return b.size() < 16 * size_t(kPixels) ? Bytes() : Bytes(b.end() - 16 * kPixels, b.end());
  }
  static Bytes Joined(const fs::path& base) {
    Bytes a = test::ReadBytes(base.string() + ".TMP1");
    const Bytes b = test::ReadBytes(base.string() + ".TMP2");
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }
  // Whatever a kill left of the data files is a prefix of the uncut run's.
  void ExpectPrefixOf(const fs::path& base, const fs::path& uncut) {
    for (const char* ext : {".TMP1", ".TMP2"}) {
      const Bytes cut = test::ReadBytes(base.string() + ext), whole = test::ReadBytes(uncut.string() + ext);
      EXPECT_TRUE(cut == Prefix(whole, cut.size())) << base << ext;
    }
  }
  // The renderer writes `project` in place; killed at a random moment of its run or of its
  // save, the file is the old one or the finished one, and a second go finishes it.
  void KillRendererSaving(const fs::path& folder, const std::string& project, const std::vector<std::string>& extra,
                          const Bytes& finished) {
    const Bytes before = test::ReadBytes((folder / project).string());
    std::vector<std::string> argv{VANTOREL_RENDER_EXE, project, "--project", project, "--quiet"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    const bool duringSave = Between(0, 1) == 1;
    const auto start = Clock::now();
    const auto delay = std::chrono::milliseconds(Between(0, 250));
    if (KillWhen(folder, argv, [&] { return duringSave ? SavingIn(folder) : Clock::now() - start >= delay; }))
      saveKills += duringSave;
    const Bytes after = test::ReadBytes((folder / project).string());
    EXPECT_TRUE(after == before || DataOf(folder / project) == finished) << "a killed save left a broken project";
    if (after == before) {
      std::vector<std::string> again{project, "--project", project};
      again.insert(again.end(), extra.begin(), extra.end());
      Render(folder, again);
    }
    EXPECT_EQ(DataOf(folder / project), finished);
  }

  test::TempDir dir;
  int kills = 0, firstRunKills = 0, deriveKills = 0, saveKills = 0;
};

TEST_F(CrashStates, KilledAtRandomInEveryStateRecoversOrReloadsToTheBytesOfAnUncutRun) {
  // State 0 and 1: the desktop program initialises and starts the parameter file; it is killed
  // just after initialising, then each continuation of the recovered project is killed again at
  // a random point of what is left.
  std::string input = "../s.Par";
  int64_t have = 0;
  fs::path last;
  for (int round = 0; round < 4 && have < kPixels; ++round) {
    SCOPED_TRACE(round);
    const fs::path run = Folder("run" + std::to_string(round));
    const int64_t at = round == 0 ? 0 : have + Between(1, (kPixels - have) * 4 / 5);
    firstRunKills += KillWhen(run, {VANTOREL_EXE, "--calculate", input},
                              [&] { return fs::exists(run / "s.TMP0") && Size(run / "s.TMP2") >= 8 * at; });
    if (round == 0) {
      // The uncut runs, from the block the program took over from its pages: a first run, and
      // more iterations derived on top of it.
      const fs::path uncut = Folder("uncut");
      fs::copy_file(run / "s.TMP0", uncut / "s.Par");
      Render(uncut, {"s.Par", "--project", "ref.LPr", "--data", "ref"});
      Render(uncut, {"ref.LPr", "--more", "--project", "more.LPr", "--data", "more"});
    }
    ExpectPrefixOf(run / "s", dir.path() / "uncut" / "ref");
    const RecoveryResult r = RecoverProject((run / "s.TMP0").string(), run.string());
    EXPECT_GE(r.Records, have) << "a continuation lost data";
    have = r.Records;
    input = "../run" + std::to_string(round) + "/s.LPr";
    last = run;
  }
  const fs::path uncut = dir.path() / "uncut";
  const Bytes ref = Joined(uncut / "ref"), more = Joined(uncut / "more");
  ASSERT_EQ(ref.size(), 16 * size_t(kPixels));
  Render(last, {"s.LPr", "--data", "end"});
  EXPECT_EQ(Joined(last / "end"), ref);
  // The recovered project goes on in the desktop program as well, to the same bytes.
  const fs::path finish = Folder("finish");
  EXPECT_TRUE(WaitUntilKilled(finish, {VANTOREL_EXE, "--calculate", "../" + last.filename().string() + "/s.LPr"}, [&] {
    return Joined(finish / "s") == ref;
  })) << "the desktop program did not finish the recovered project to the uncut bytes";

  // State 2: a project saved while paused goes on in the desktop program, is killed, recovered,
  // and finished by the renderer, which is killed while it computes or saves in place.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const fs::path paused = Folder("paused" + std::to_string(round));
    const int64_t at = Between(kPixels / 10, kPixels * 9 / 10);
    test::WriteInterruptedProject((uncut / "ref.LPr").string(), (uncut / "ref.LPr").string(), kPixels, at, StatePaused,
                                  (paused / "p.LPr").string());
    const int64_t killAt = at + Between(1, (kPixels - at) * 4 / 5);
    firstRunKills +=
        KillWhen(paused, {VANTOREL_EXE, "--calculate", "p.LPr"}, [&] { return Size(paused / "p.TMP2") >= 8 * killAt; });
    ExpectPrefixOf(paused / "p", uncut / "ref");
    fs::remove(paused / "p.LPr");
    const RecoveryResult r = RecoverProject((paused / "p.TMP0").string(), paused.string());
    EXPECT_GE(r.Records, at);
    KillRendererSaving(paused, "p.LPr", {}, ref);
  }

  // States 3 and 4: the desktop program derives more iterations of the finished project and is
  // killed at a random moment; the project file is as it was and derives again (here by the
  // renderer, killed while it computes or saves) to the uncut bytes.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const fs::path derive = Folder("derive" + std::to_string(round));
    fs::copy_file(uncut / "ref.LPr", derive / "d.LPr");
    const auto delay = std::chrono::milliseconds(Between(0, 300));
    std::optional<Clock::time_point> loaded;
    deriveKills += KillWhen(derive, {VANTOREL_EXE, "--calculate", "d.LPr"}, [&] {
      if (!loaded && Size(derive / "d.TMP2") == 8 * kPixels) loaded = Clock::now();
      return loaded && Clock::now() - *loaded >= delay;
    });
    EXPECT_EQ(test::ReadBytes((derive / "d.LPr").string()), test::ReadBytes((uncut / "ref.LPr").string()));
    KillRendererSaving(derive, "d.LPr", {"--more"}, more);
  }

  // State 5: a project saved while deriving goes on in the desktop program from where it
  // stopped: once to the uncut bytes, once killed at random and reloaded.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const fs::path resumed = Folder("resumed" + std::to_string(round));
    const int64_t at = Between(kPixels / 10, kPixels * 9 / 10);
    test::WriteInterruptedProject((uncut / "ref.LPr").string(), (uncut / "more.LPr").string(), kPixels, at,
                                  StateDerivingPaused, (resumed / "m.LPr").string());
    const Bytes saved = test::ReadBytes((resumed / "m.LPr").string());
    if (round == 0) {
      const bool reached = WaitUntilKilled(resumed, {VANTOREL_EXE, "--calculate", "m.LPr"},
                                           [&] { return Joined(resumed / "m") == more; });
      EXPECT_TRUE(reached) << "the desktop program did not derive the paused project to the uncut bytes";
      continue;
    }
    const auto delay = std::chrono::milliseconds(Between(0, 300));
    std::optional<Clock::time_point> loaded;
    deriveKills += KillWhen(resumed, {VANTOREL_EXE, "--calculate", "m.LPr"}, [&] {
      if (!loaded && Size(resumed / "m.TMP2") == 8 * kPixels) loaded = Clock::now();
      return loaded && Clock::now() - *loaded >= delay;
    });
    EXPECT_EQ(test::ReadBytes((resumed / "m.LPr").string()), saved);
    Render(resumed, {"m.LPr", "--data", "end"});
    EXPECT_EQ(Joined(resumed / "end"), more);
  }
}

}  // namespace
}  // namespace vantorel

#endif
