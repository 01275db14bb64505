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
#include "colour/Supersample.h"
#include "core/IoError.h"
#include "core/NumberText.h"
#include "core/RechenThread.h"
#include "core/SafeFile.h"

namespace vantorel::cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

// Messages between the ranks, all small: a request for work, a finished band, a failure (with
// its text), a band handed out and the order to stop.
enum Tag : int { kTagRequest = 1, kTagDone, kTagFail, kTagAssign, kTagStop };

constexpr int kRoot = 0;
constexpr size_t kCopyRecords = 10000;
// A band takes the rows left divided by this many times the number of processes.
constexpr int32_t kBandShare = 4;

// A band of rows to compute; the first row from Column on, the others whole.
struct Band {
  int32_t Id = -1;  // -1: no more work
  int32_t Row = 0, Column = 0, Rows = 0;
};

std::string MpiErrorText(int code) {
  char text[MPI_MAX_ERROR_STRING];
  int length = 0;
  if (MPI_Error_string(code, text, &length) != MPI_SUCCESS) return "MPI error " + std::to_string(code);
  return std::string(text, size_t(length));
}

void Check(int code, const std::string& what) {
  if (code != MPI_SUCCESS) throw IoError(what + ": " + MpiErrorText(code));
}

// A data file opened by this process alone through MPI-IO; records are 8-byte doubles at
// offset 8 * index.
class MpiDataFile {
 public:
  MpiDataFile() = default;
  MpiDataFile(const MpiDataFile&) = delete;
  MpiDataFile& operator=(const MpiDataFile&) = delete;
  ~MpiDataFile() {
    if (fh_ != MPI_FILE_NULL) MPI_File_close(&fh_);
  }
  void Open(const std::string& path) {
    path_ = path;
    Check(MPI_File_open(MPI_COMM_SELF, path.c_str(), MPI_MODE_RDWR, MPI_INFO_NULL, &fh_),
          "Cannot open '" + path + "'");
  }
  void WriteAt(int64_t record, const double* values, int32_t n) {
    MPI_Status status;
    Check(MPI_File_write_at(fh_, MPI_Offset(record) * 8, values, n, MPI_DOUBLE, &status),
          "Cannot write '" + path_ + "'");
    int written = 0;
    MPI_Get_count(&status, MPI_DOUBLE, &written);
    if (written != n)
      throw IoError("Cannot write '" + path_ + "': the write stopped short (no room, or a file size limit)");
  }
  void ReadAt(int64_t record, double* values, int32_t n) {
    MPI_Status status;
    Check(MPI_File_read_at(fh_, MPI_Offset(record) * 8, values, n, MPI_DOUBLE, &status),
          "Cannot read '" + path_ + "'");
    int read = 0;
    MPI_Get_count(&status, MPI_DOUBLE, &read);
    if (read != n) throw FormatError("The data file '" + path_ + "' ended early.");
  }
  // Makes what this process wrote durable and what others synced visible.
  void Sync() { Check(MPI_File_sync(fh_), "Cannot write '" + path_ + "'"); }
  void Close() {
    if (fh_ != MPI_FILE_NULL) Check(MPI_File_close(&fh_), "Cannot close '" + path_ + "'");
  }

 private:
  MPI_File fh_ = MPI_FILE_NULL;
  std::string path_;
};

// Runs the computation thread's hand-overs on the main thread, between the MPI calls, so
// that only the main thread calls MPI.
class QueueDispatcher final : public IUiDispatcher {
 public:
  void Post(std::function<void()> fn) override {
    {
      std::lock_guard lk(mu_);
      queue_.push_back(std::move(fn));
    }
    cv_.notify_one();
  }
  // Runs everything queued, waiting up to `wait` for the first.
  void RunFor(std::chrono::milliseconds wait) {
    std::deque<std::function<void()>> work;
    {
      std::unique_lock lk(mu_);
      cv_.wait_for(lk, wait, [&] { return !queue_.empty(); });
      work.swap(queue_);
    }
    for (auto& fn : work) fn();
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
};

void SendInts(const int32_t* values, int count, int to, int tag) {
  Check(MPI_Send(values, count, MPI_INT32_T, to, tag, MPI_COMM_WORLD), "Cannot send to process " + std::to_string(to));
}

void SendText(const std::string& text, int to, int tag) {
  Check(MPI_Send(text.data(), int(text.size()), MPI_CHAR, to, tag, MPI_COMM_WORLD),
        "Cannot send to process " + std::to_string(to));
}

std::vector<uint8_t> BroadcastBytes(std::vector<uint8_t> bytes) {
  int64_t size = int64_t(bytes.size());
  Check(MPI_Bcast(&size, 1, MPI_INT64_T, kRoot, MPI_COMM_WORLD), "Cannot start the run");
  bytes.resize(size_t(size));
  Check(MPI_Bcast(bytes.data(), int(size), MPI_BYTE, kRoot, MPI_COMM_WORLD), "Cannot start the run");
  return bytes;
}

// What rank 0 tells every rank before the computation.
struct RunSetup {
  bool Ok = false;
  TCalcParams Params;
  ComputePlan Plan;
  std::string DataDir;
};

std::vector<uint8_t> EncodeSetup(const RunSetup& s) {
  std::vector<uint8_t> bytes{uint8_t(s.Ok), uint8_t(s.Plan.Compute), uint8_t(s.Plan.Fresh)};
  if (!s.Ok) return bytes;
  const std::vector<uint8_t> block = EncodeParameterBlock(s.Params, BlockForm::Project, 0);
  const uint32_t blockSize = uint32_t(block.size());
  bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(&blockSize),
               reinterpret_cast<const uint8_t*>(&blockSize) + 4);
  bytes.insert(bytes.end(), block.begin(), block.end());
  bytes.insert(bytes.end(), s.DataDir.begin(), s.DataDir.end());
  return bytes;
}

RunSetup DecodeSetup(const std::vector<uint8_t>& bytes) {
  RunSetup s;
  if (bytes.size() < 3 || !bytes[0]) return s;
  s.Ok = true;
  s.Plan.Compute = bytes[1];
  s.Plan.Fresh = bytes[2];
  uint32_t blockSize = 0;
  std::copy_n(bytes.begin() + 3, 4, reinterpret_cast<uint8_t*>(&blockSize));
  s.Params = DecodeParameterBlock(bytes.data() + 7, blockSize).Params;
  s.DataDir.assign(bytes.begin() + 7 + blockSize, bytes.end());
  return s;
}

// The bands of the rows that remain, from the block's progress position on: a first band for
// the rest of a row begun, then bands of a share of the rows left, ever smaller down to one row
// (guided self-scheduling): few bands, each a start of the computation thread and a sync of the
// data files, and small ones at the end, so that the processes finish together even when some
// rows take much longer than others.
std::vector<Band> DealBands(const TCalcParams& p, int ranks) {
  std::vector<Band> bands;
  int32_t row = p.ProgressRow;
  if (row >= p.PictureHeight) return bands;
  if (p.ProgressColumn > 0) {
    bands.push_back({0, row, p.ProgressColumn, 1});
    ++row;
  }
  const int32_t share = kBandShare * std::max(1, ranks);
  while (row < p.PictureHeight) {
    const int32_t left = p.PictureHeight - row;
    const int32_t size = std::max<int32_t>(1, (left + share - 1) / share);
    bands.push_back({int32_t(bands.size()), row, 0, size});
    row += size;
  }
  return bands;
}

// This rank's computing: one band at a time through the computation thread, with all its
// workers; the records go to the data files through MPI-IO as they are handed over.
class BandComputer {
 public:
  BandComputer(const TCalcParams& p, bool fresh, const Options& o, MpiDataFile& out1,
               MpiDataFile& out2, PixelDataFile* in1, PixelDataFile* in2)
      : params_(p), fresh_(fresh), options_(o), out1_(out1), out2_(out2), in1_(in1), in2_(in2) {}
  ~BandComputer() { Stop(); }

  bool Busy() const { return engine_ != nullptr; }
  void Start(const Band& band) {
    runParams_ = params_;
    finished_ = false;
    error_.clear();
    engine_ = std::make_unique<TRechenThread>(ui_, options_.Threads);
    engine_->SetFresh(fresh_);
    if (!fresh_) engine_->SetFiles(*in1_, *in2_);
    engine_->SetFastTrig(options_.Fast);
    engine_->SetBatchHandler([this](int64_t record, const double* e, const double* x, int32_t n) {
      out1_.WriteAt(record, e, n);
      out2_.WriteAt(record, x, n);
    });
    engine_->SetFinishedHandler([this] { finished_ = true; });
    engine_->SetErrorHandler([this](const std::string& message) { error_ = message; });
    engine_->Setup(runParams_, noPicture_);
    engine_->SetRegion(band.Column, band.Row, params_.PictureWidth, band.Row + band.Rows);
    band_ = band;
    engine_->Resume();
  }
  // Runs hand-overs for a moment. Returns the band just completed and synced (Id -1 if none).
  // Throws IoError when the computation failed.
  Band Poll() {
    ui_.RunFor(std::chrono::milliseconds(1));
    if (!engine_ || !engine_->Ended()) return {};
    engine_->WaitFor();
    engine_.reset();
    if (!error_.empty()) throw IoError(error_);
    if (!finished_) throw IoError("The calculation ended without finishing.");
    out1_.Sync();
    out2_.Sync();
    return band_;
  }
  void Stop() {
    if (!engine_) return;
    engine_->Terminate();
    engine_->WaitFor();
    engine_.reset();
  }

 private:
  const TCalcParams& params_;
  const bool fresh_;
  const Options& options_;
  MpiDataFile &out1_, &out2_;
  PixelDataFile *in1_, *in2_;
  QueueDispatcher ui_;
  TCalcParams runParams_;
  TPicture noPicture_;
  std::unique_ptr<TRechenThread> engine_;
  Band band_;
  bool finished_ = false;
  std::string error_;
};

// Rank 0's place for the run's data files: --work, or the directory of the first output.
std::string WorkPlace(const Options& o, const MpiOptions& m) {
  if (m.WorkPlace) return *m.WorkPlace;
  std::string first;
  if (o.Picture) first = *o.Picture;
  else if (o.Project) first = *o.Project;
  else if (o.DataBase) first = *o.DataBase;
  else first = DefaultPictureName(o.Input);
  const std::filesystem::path dir = std::filesystem::path(first).parent_path();
  return dir.empty() ? "." : dir.string();
}

// The checkpoint's path: --checkpoint, or NAME.checkpoint.LPr beside the first output.
std::string CheckpointPath(const Options& o, const MpiOptions& m) {
  if (m.Checkpoint) return *m.Checkpoint;
  std::string first = o.Picture ? *o.Picture
                      : o.Project ? *o.Project
                      : o.DataBase ? *o.DataBase
                                   : DefaultPictureName(o.Input);
  std::filesystem::path path(first);
  path.replace_extension();
  return path.string() + ".checkpoint.LPr";
}

// Rank 0's part beyond computing: it deals out the bands, keeps the true prefix and writes the
// checkpoints and outputs.
class Coordinator {
 public:
  Coordinator(const TCalcParams& p, int ranks, const std::string& checkpoint, double seconds,
              bool checkpoints)
      : params_(p),
        bands_(DealBands(p, ranks)),
        done_(bands_.size(), false),
        checkpointPath_(checkpoint),
        checkpointSeconds_(seconds),
        checkpoints_(checkpoints),
        lastCheckpoint_(std::chrono::steady_clock::now()) {
    checkpointed_ = PrefixPixel();  // what the input holds already
  }

  Band Next() { return next_ < bands_.size() ? bands_[next_++] : Band{}; }
  void Done(int32_t id) {
    if (id < 0 || size_t(id) >= done_.size() || done_[size_t(id)]) return;
    done_[size_t(id)] = true;
    ++doneCount_;
    while (prefix_ < bands_.size() && done_[prefix_]) ++prefix_;
  }
  bool AllDone() const { return doneCount_ == bands_.size(); }
  // The first pixel before which every pixel is computed and synced.
  int64_t PrefixPixel() const {
    if (prefix_ >= bands_.size()) return int64_t(params_.PictureWidth) * params_.PictureHeight;
    const Band& b = bands_[prefix_];
    return int64_t(b.Row) * params_.PictureWidth + b.Column;
  }
  double Percent() const {
    const double total = double(params_.PictureWidth) * params_.PictureHeight;
    return total > 0 ? PrefixPixel() * 100.0 / total : 100;
  }

  // Replaces the checkpoint when the prefix has grown and its time has come: a project of the
  // prefix, paused there, that continues like any interrupted project. The time between two is
  // at least twenty times what the last one took, so that copying stays a small share.
  void MaybeCheckpoint(MpiDataFile& f1, MpiDataFile& f2) {
    if (!checkpoints_) return;
    const int64_t prefix = PrefixPixel();
    const auto now = std::chrono::steady_clock::now();
    const double since = std::chrono::duration<double>(now - lastCheckpoint_).count();
    if (prefix <= checkpointed_ || since < std::max(checkpointSeconds_, 20 * lastDuration_)) return;
    if (prefix > std::numeric_limits<int32_t>::max()) return;  // more than a project carries
    TCalcParams c = params_;
    c.State = StatePaused;
    c.ProgressColumn = int32_t(prefix % c.PictureWidth);
    c.ProgressRow = int32_t(prefix / c.PictureWidth);
    const std::vector<uint8_t> block = EncodeParameterBlock(c, BlockForm::Project, int32_t(prefix));
    SafeFile out(checkpointPath_);
    out.Write(block.data(), block.size());
    f1.Sync();
    f2.Sync();
    std::vector<double> chunk(kCopyRecords);
    for (MpiDataFile* f : {&f1, &f2})
      for (int64_t at = 0; at < prefix; at += int64_t(chunk.size())) {
        const int32_t n = int32_t(std::min<int64_t>(prefix - at, int64_t(chunk.size())));
        f->ReadAt(at, chunk.data(), n);
        out.Write(chunk.data(), size_t(n) * 8);
      }
    out.Commit();
    checkpointed_ = prefix;
    written_ = true;
    lastCheckpoint_ = std::chrono::steady_clock::now();
    lastDuration_ = std::chrono::duration<double>(lastCheckpoint_ - now).count();
  }
  bool HasCheckpoint() const { return written_; }
  const std::string& CheckpointFile() const { return checkpointPath_; }
  int64_t Checkpointed() const { return checkpointed_; }

 private:
  const TCalcParams& params_;
  std::vector<Band> bands_;
  std::vector<bool> done_;
  size_t next_ = 0, doneCount_ = 0, prefix_ = 0;
  std::string checkpointPath_;
  double checkpointSeconds_;
  bool checkpoints_;
  int64_t checkpointed_ = 0;
  bool written_ = false;
  std::chrono::steady_clock::time_point lastCheckpoint_;
  double lastDuration_ = 0;
};

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
      throw FormatError("Cannot render: the pixel data need " + SizeText(needed, true) +
                        ", but '" + std::filesystem::path(path_).parent_path().string() +
                        "' has " + SizeText(free, false) + " free (--work chooses another place).");
  }

 private:
  std::string path_;
};

std::string DataFile(const std::string& dir, int k) {
  return (std::filesystem::path(dir) / ("data.TMP" + std::to_string(k))).string();
}

// How a rank's computing ended: completed, stopped, or failed (here or, for rank 0, anywhere).
struct Outcome {
  bool Stopped = false;   // by a signal
  std::string Failure;    // a process failed: what and where
};

Outcome ComputeBands(const RunSetup& s, const Options& o, int rank,
                     int ranks, Coordinator* coordinator, std::ostream& err) {
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
          if (msg[0] < 0) noMore = true;
          else mine.push_back({msg[0], msg[1], msg[2], msg[3]});
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
        if (coordinator) coordinator->Done(finished.Id);
        else SendInts(&finished.Id, 1, kRoot, kTagDone);
      }
      if (!computer.Busy() && !mine.empty()) {
        computer.Start(mine.front());
        mine.pop_front();
      }
      // One band ahead, so that no rank waits for the answer.
      if (!noMore && !asked && mine.size() + (computer.Busy() ? 1 : 0) < 2) {
        if (coordinator) {
          const Band b = coordinator->Next();
          if (b.Id < 0) noMore = true;
          else mine.push_back(b);
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
    Note(o, err, std::to_string(o.Threads) + " threads share " + std::to_string(cores) +
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
        if (access(dir.c_str(), W_OK | X_OK) != 0)
          ThrowIoError("Cannot write", CheckpointPath(o, m), errno);
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
  if (setup.Plan.Compute)
    outcome = ComputeBands(setup, o, rank, ranks, coordinator.get(), err);
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
      err << ProgramName() << ": the run failed: " << outcome.Failure << "; nothing new was written"
          << kept() << "\n" << std::flush;
    else
      err << ProgramName() << ": stopped by a signal (Ctrl-C, or mpirun ending the run because one "
             "of its processes ended); nothing new was written"
          << kept() << "\n" << std::flush;
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
      WriteOutputs(o, *supersampled, picturePath,
                   SupersampledRowsFromData(*supersampled, o.Supersample, tmp1), tmp1, tmp2, err);
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
