#include "cli/mpi/MpiRender.h"

#include <mpi.h>
#include <sched.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

#include "app/ParameterFile.h"
#include "cli/Colours.h"
#include "cli/RenderSteps.h"
#include "cli/SupersampledRows.h"
#include "cli/mpi/MpiBands.h"
#include "cli/mpi/MpiTransport.h"
#include "colour/Supersample.h"
#include "core/IoError.h"
#include "core/NumberText.h"
#include "core/RechenThread.h"
#include "core/SafeFile.h"

namespace vantorel::cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

using namespace mpi;

// Rank 0's place for the run's data files: --work, or the directory of the first output.
std::string WorkPlace(const Options& o, const MpiOptions& m) {
  if (m.WorkPlace) return *m.WorkPlace;
  std::string first;
  if (o.Picture)
    first = *o.Picture;
  else if (o.Project)
    first = *o.Project;
  else if (o.DataBase)
    first = *o.DataBase;
  else
    first = DefaultPictureName(o.Input);
  const std::filesystem::path dir = std::filesystem::path(first).parent_path();
  return dir.empty() ? "." : dir.string();
}

// The checkpoint's path: --checkpoint, or NAME.checkpoint.LPr beside the first output.
std::string CheckpointPath(const Options& o, const MpiOptions& m) {
  if (m.Checkpoint) return *m.Checkpoint;
  std::string first = o.Picture    ? *o.Picture
                      : o.Project  ? *o.Project
                      : o.DataBase ? *o.DataBase
                                   : DefaultPictureName(o.Input);
  std::filesystem::path path(first);
  path.replace_extension();
  return path.string() + ".checkpoint.LPr";
}

// Removes the run's data directory when the run ends (rank 0).
class DataDirectory {
 public:
  explicit DataDirectory(const std::string& place) {
    std::string pattern = (std::filesystem::path(place) / ".vantorel-render-XXXXXX").string();
    if (!mkdtemp(pattern.data())) ThrowIoError("Cannot create the data directory", pattern, errno);
    path_ = pattern;
  }
  ~DataDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }
  void CheckRoomFor(int64_t pixels) const {
    const uint64_t needed = uint64_t(pixels) * 16;
    struct statvfs fs;
    if (statvfs(path_.c_str(), &fs) != 0) return;
    const uint64_t free = uint64_t(fs.f_bavail) * fs.f_frsize;
    if (needed > free)
      throw FormatError("Cannot render: the pixel data need " + SizeText(needed, true) + ", but '" +
                        std::filesystem::path(path_).parent_path().string() + "' has " + SizeText(free, false) +
                        " free (--work chooses another place).");
  }

 private:
  std::string path_;
};

std::string DataFile(const std::string& dir, int k) {
  return (std::filesystem::path(dir) / ("data.TMP" + std::to_string(k))).string();
}

// How a rank's computing ended: completed, stopped, or failed (here or, for rank 0, anywhere).
struct Outcome {
  bool Stopped = false;  // by a signal
  std::string Failure;   // a process failed: what and where
};

Outcome ComputeBands(const RunSetup& s, const Options& o, int rank, int ranks, Coordinator* coordinator,
                     std::ostream& err) {
  MpiDataFile out1, out2;
  std::unique_ptr<PixelDataFile> in1, in2;
  Outcome outcome;
  try {
    out1.Open(DataFile(s.DataDir, 1));
    out2.Open(DataFile(s.DataDir, 2));
    if (!s.Plan.Fresh) {
      in1 = std::make_unique<PixelDataFile>();
      in2 = std::make_unique<PixelDataFile>();
      in1->Open(DataFile(s.DataDir, 1));
      in2->Open(DataFile(s.DataDir, 2));
    }
  } catch (const std::exception& e) {
    outcome.Failure = e.what();
    if (rank != kRoot) {
      try {
        SendText(e.what(), kRoot, kTagFail);
      } catch (const std::exception&) {
      }
    }
  }
  BandComputer computer(s.Params, s.Plan.Fresh, o, out1, out2, in1.get(), in2.get());
  std::deque<Band> mine;
  bool noMore = false, asked = false;
  int told = 0;  // ranks told that no work is left (rank 0)
  const bool show = rank == kRoot && !o.Quiet && isatty(STDERR_FILENO);
  auto lastShown = std::chrono::steady_clock::now();

  const auto fail = [&](const std::string& text) {
    outcome.Failure = text;
    computer.Stop();
  };
  while (outcome.Failure.empty()) {
    if (stopRequested) {
      computer.Stop();
      outcome.Stopped = true;
      break;
    }
    try {
      // Messages.
      int flag = 0;
      MPI_Status st;
      Check(MPI_Iprobe(rank == kRoot ? MPI_ANY_SOURCE : kRoot, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &st),
            "Cannot receive");
      while (flag) {
        if (st.MPI_TAG == kTagFail) {
          int length = 0;
          MPI_Get_count(&st, MPI_CHAR, &length);
          std::string text(size_t(length), '\0');
          Check(MPI_Recv(text.data(), length, MPI_CHAR, st.MPI_SOURCE, kTagFail, MPI_COMM_WORLD, MPI_STATUS_IGNORE),
                "Cannot receive");
          fail("process " + std::to_string(st.MPI_SOURCE) + ": " + text);
          break;
        }
        int32_t msg[4] = {-1, 0, 0, 0};
        Check(MPI_Recv(msg, 4, MPI_INT32_T, st.MPI_SOURCE, st.MPI_TAG, MPI_COMM_WORLD, MPI_STATUS_IGNORE),
              "Cannot receive");
        if (st.MPI_TAG == kTagStop) {
          computer.Stop();
          outcome.Stopped = true;
          return outcome;
        } else if (st.MPI_TAG == kTagAssign) {
          asked = false;
          if (msg[0] < 0)
            noMore = true;
          else
            mine.push_back({msg[0], msg[1], msg[2], msg[3]});
        } else if (st.MPI_TAG == kTagRequest && coordinator) {
          const Band b = coordinator->Next();
          if (b.Id < 0) ++told;
          const int32_t reply[4] = {b.Id, b.Row, b.Column, b.Rows};
          SendInts(reply, 4, st.MPI_SOURCE, kTagAssign);
        } else if (st.MPI_TAG == kTagDone && coordinator) {
          coordinator->Done(msg[0]);
        }
        Check(MPI_Iprobe(rank == kRoot ? MPI_ANY_SOURCE : kRoot, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &st),
              "Cannot receive");
      }
      if (!outcome.Failure.empty()) break;

      // This rank's own bands.
      const Band finished = computer.Poll();
      if (finished.Id >= 0) {
        if (coordinator)
          coordinator->Done(finished.Id);
        else
          SendInts(&finished.Id, 1, kRoot, kTagDone);
      }
      if (!computer.Busy() && !mine.empty()) {
        computer.Start(mine.front());
        mine.pop_front();
      }
      // One band ahead, so that no rank waits for the answer.
      if (!noMore && !asked && mine.size() + (computer.Busy() ? 1 : 0) < 2) {
        if (coordinator) {
          const Band b = coordinator->Next();
          if (b.Id < 0)
            noMore = true;
          else
            mine.push_back(b);
        } else {
          const int32_t none = 0;
          SendInts(&none, 1, kRoot, kTagRequest);
          asked = true;
        }
      }
      if (coordinator) {
        coordinator->MaybeCheckpoint(out1, out2);
        if (show && std::chrono::steady_clock::now() - lastShown > std::chrono::seconds(1)) {
          lastShown = std::chrono::steady_clock::now();
          err << "\rprogress: " << FixedText(coordinator->Percent(), 2) << "%\033[K" << std::flush;
        }
        if (coordinator->AllDone() && told == ranks - 1 && noMore) break;
      } else if (noMore && mine.empty() && !computer.Busy()) {
        break;
      }
    } catch (const std::exception& e) {
      fail(e.what());
      if (rank != kRoot) {
        try {
          SendText(e.what(), kRoot, kTagFail);
        } catch (const std::exception&) {
        }
      }
    }
  }
  if (show) err << "\r\033[K" << std::flush;
  try {
    out1.Close();
    out2.Close();
  } catch (const std::exception& e) {
    if (outcome.Failure.empty() && !outcome.Stopped) outcome.Failure = e.what();
  }
  return outcome;
}

}  // namespace

void RequestMpiStop() noexcept { stopRequested = 1; }

MpiOptions TakeMpiOptions(std::vector<std::string>& args) {
  MpiOptions m;
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i], value;
    const size_t eq = arg.find('=');
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg.resize(eq);
      inlineValue = true;
    }
    if (arg != "--work" && arg != "--checkpoint" && arg != "--checkpoint-every") {
      rest.push_back(args[i]);
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      value = args[++i];
    }
    if (arg == "--work") {
      m.WorkPlace = value;
    } else if (arg == "--checkpoint") {
      m.Checkpoint = value;
    } else {
      const std::optional<double> v = TextToFloatLenient(value);
      if (!v || !std::isfinite(*v) || *v < 0)
        throw UsageError("--checkpoint-every takes seconds (0 or more), not '" + value + "'");
      m.CheckpointSeconds = *v;
    }
  }
  args = rest;
  return m;
}

std::string MpiHelpText() {
  return R"(
Run by mpirun (mpirun -n N vantorel-render-mpi FILE ...), every process computes bands of rows
with the cores mpirun lets it use (--threads: how many; one process per node with --bind-to none
is the usual choice); the files are the same as one process's. Further options:
  --work DIR                 where the run's data files live, on storage every process sees
                             (default: the directory of the first output)
  --checkpoint FILE.LPr      the project that holds the computed part while the run goes on
                             (default: the first output's name with .checkpoint.LPr); it is
                             removed when the run has written its outputs
  --checkpoint-every SECONDS time between two checkpoints (default 300; 0: whenever possible)
With --animate, process 0 hands out whole frames, one at a time, to whichever process asks
and makes the video; the frame files are the same as one process's.
--thumbnail and --time-limit are options of vantorel-render only.
)";
}

int UsableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 0;
  return CPU_COUNT(&set);
}

int MpiRender(const Options& given, const MpiOptions& m, std::ostream& err) {
  int rank = 0, ranks = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  // mpirun may bind a process to some of its node's cores (Open MPI binds each of one or two
  // processes to a single core): by default compute with the cores this process may use.
  Options o = given;
  const int cores = UsableCores();
  if (o.Threads == 0 && cores > 0) o.Threads = cores;
  if (rank == kRoot && cores > 0 && o.Threads > cores)
    Note(o, err,
         std::to_string(o.Threads) + " threads share " + std::to_string(cores) +
             " core(s): mpirun binds the processes (--bind-to none leaves them free)");

  // Rank 0 prepares exactly as the one-process renderer does.
  RunSetup setup;
  std::unique_ptr<DataDirectory> dataDir;
  std::optional<std::string> picturePath;
  std::optional<TCalcParams> supersampled;  // rank 0: the block of the supersampled picture
  if (rank == kRoot) {
    try {
      dataDir = std::make_unique<DataDirectory>(WorkPlace(o, m));
      PixelDataFile tmp1, tmp2;
      tmp1.Create(DataFile(dataDir->Path(), 1));
      tmp2.Create(DataFile(dataDir->Path(), 2));
      PreparedBlock block = PrepareBlock(o, tmp1, tmp2, err, false);
      if (o.Supersample > 1) {
        // The processes compute the sub-pixel picture afresh; rank 0 colours the picture from it.
        if (tmp1.RecordCount() > 0)
          Note(o, err, "the supersampled picture is computed afresh; the project's stored data are not used");
        tmp1.Clear();
        tmp2.Clear();
        supersampled = block.Params;
        supersampled->IterationsDone = 0;
        block.Params = SubPixelBlock(*supersampled, o.Supersample);
      }
      dataDir->CheckRoomFor(int64_t(block.Params.PictureWidth) * block.Params.PictureHeight);
      setup.Plan = PlanComputation(block.Params, tmp1, tmp2, o, err);
      if (setup.Plan.Compute && setup.Plan.Fresh && !supersampled) {
        std::filesystem::path dir = std::filesystem::path(CheckpointPath(o, m)).parent_path();
        if (dir.empty()) dir = ".";
        if (access(dir.c_str(), W_OK | X_OK) != 0) ThrowIoError("Cannot write", CheckpointPath(o, m), errno);
      }
      setup.Params = block.Params;
      picturePath = block.PicturePath;
      setup.DataDir = dataDir->Path();
      setup.Ok = true;
    } catch (const std::bad_alloc&) {
      err << ProgramName() << ": not enough memory\n";
    } catch (const std::exception& e) {
      err << ProgramName() << ": " << e.what() << "\n";
    }
  }
  try {
    setup = DecodeSetup(BroadcastBytes(rank == kRoot ? EncodeSetup(setup) : std::vector<uint8_t>{}));
  } catch (const std::exception& e) {
    if (rank == kRoot) err << ProgramName() << ": " << e.what() << "\n";
    return 1;
  }
  if (!setup.Ok) return rank == kRoot ? 1 : 0;
  TCalcParams& p = setup.Params;

  std::unique_ptr<Coordinator> coordinator;
  if (rank == kRoot)
    coordinator = std::make_unique<Coordinator>(p, ranks, CheckpointPath(o, m), m.CheckpointSeconds,
                                                setup.Plan.Fresh && !supersampled);
  Outcome outcome;
  if (setup.Plan.Compute) outcome = ComputeBands(setup, o, rank, ranks, coordinator.get(), err);
  // Rank 0 reports and gives the run's exit status (a failure here has been sent to it); an
  // exit status here would let mpirun end the job before rank 0 has said why.
  if (rank != kRoot) return 0;

  const auto kept = [&] {
    if (!coordinator->HasCheckpoint()) return std::string();
    const int64_t at = coordinator->Checkpointed();
    return "; '" + coordinator->CheckpointFile() + "' holds the pixels before column " +
           std::to_string(at % p.PictureWidth) + " of row " + std::to_string(at / p.PictureWidth) +
           " and continues the run";
  };
  if (!outcome.Failure.empty() || outcome.Stopped || stopRequested) {
    // Said first: after a signal mpirun ends the process a second later.
    if (!outcome.Failure.empty())
      err << ProgramName() << ": the run failed: " << outcome.Failure << "; nothing new was written" << kept() << "\n"
          << std::flush;
    else
      err << ProgramName()
          << ": stopped by a signal (Ctrl-C, or mpirun ending the run because one "
             "of its processes ended); nothing new was written"
          << kept() << "\n"
          << std::flush;
    for (int k = 1; k < ranks; ++k) {
      const int32_t stop[4] = {0, 0, 0, 0};
      try {
        SendInts(stop, 4, k, kTagStop);
      } catch (const std::exception&) {
      }
    }
    return 1;
  }
  try {
    if (setup.Plan.Compute) MarkFinished(p);
    PixelDataFile tmp1, tmp2;
    tmp1.Open(DataFile(setup.DataDir, 1));
    tmp2.Open(DataFile(setup.DataDir, 2));
    if (supersampled) {
      MarkFinished(*supersampled);
      WriteOutputs(o, *supersampled, picturePath, SupersampledRowsFromData(*supersampled, o.Supersample, tmp1), tmp1,
                   tmp2, err);
    } else {
      ApplyAutoColours(o, p, tmp1, err);
      WriteOutputs(o, p, picturePath, RowsFromData(p, tmp1), tmp1, tmp2, err);
    }
  } catch (const std::exception& e) {
    err << ProgramName() << ": " << e.what() << kept() << "\n";
    return 1;
  }
  // The checkpoint has served; one that this run continued from is left as the input it was.
  std::error_code ec;
  if (coordinator->HasCheckpoint() &&
      !(o.Input && std::filesystem::equivalent(*o.Input, coordinator->CheckpointFile(), ec)))
    std::filesystem::remove(coordinator->CheckpointFile(), ec);
  return 0;
}

}  // namespace vantorel::cli
