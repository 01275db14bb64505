#include "cli/mpi/MpiAnimate.h"

#include <mpi.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <sstream>
#include <memory>
#include <thread>

#include "cli/Animate.h"
#include "cli/Render.h"
#include "cli/mpi/MpiTransport.h"

namespace vantorel::cli {

namespace {

using namespace mpi;

// Every message of a film is four whole numbers: a frame number (or -1 for none) and padding.
struct Message {
  int Tag = 0, Source = 0;
  int32_t Frame = -1;
};

// The next message from `from` (MPI_ANY_SOURCE) with any tag, if one is waiting; texts (failures)
// come back in `text`.
bool Receive(int from, Message& m, std::string& text) {
  int flag = 0;
  MPI_Status st;
  Check(MPI_Iprobe(from, MPI_ANY_TAG, MPI_COMM_WORLD, &flag, &st), "Cannot receive");
  if (!flag) return false;
  m.Tag = st.MPI_TAG;
  m.Source = st.MPI_SOURCE;
  if (st.MPI_TAG == kTagFail) {
    int length = 0;
    MPI_Get_count(&st, MPI_CHAR, &length);
    text.assign(size_t(length), '\0');
    Check(MPI_Recv(text.data(), length, MPI_CHAR, st.MPI_SOURCE, kTagFail, MPI_COMM_WORLD, MPI_STATUS_IGNORE),
          "Cannot receive");
    return true;
  }
  int32_t msg[4] = {-1, 0, 0, 0};
  Check(MPI_Recv(msg, 4, MPI_INT32_T, st.MPI_SOURCE, st.MPI_TAG, MPI_COMM_WORLD, MPI_STATUS_IGNORE), "Cannot receive");
  m.Frame = msg[0];
  return true;
}

void Send(int32_t frame, int to, int tag) {
  const int32_t msg[4] = {frame, 0, 0, 0};
  SendInts(msg, 4, to, tag);
}

// Rank 0: deals the frames out and renders some itself.
class Dealer {
 public:
  Dealer(const Options& o, const Film& film, std::vector<int32_t> todo, int ranks, std::ostream& err)
      : o_(o),
        film_(film),
        queue_(todo.begin(), todo.end()),
        ranks_(ranks),
        err_(err),
        progress_(film.Last - film.First + 1, film.Last - film.First + 1 - int32_t(todo.size())),
        terminal_(!o.Quiet && isatty(STDERR_FILENO)) {}

  int Run() {
    Options frameOptions = o_;
    frameOptions.Quiet = true;
    ProgressHooks hooks;
    hooks.Show = terminal_;
    hooks.Line = [this](double percent) { return progress_.Line(percent); };
    hooks.Tick = [this] { Serve(); };
    try {
      for (;;) {
        Serve();
        if (StopRequested() || !failure_.empty()) break;
        if (!queue_.empty()) {
          const int32_t n = queue_.front();
          queue_.pop_front();
          PreparedBlock frame = film_.Frame(o_, n, err_);
          if (!RenderFresh(frameOptions, frame, err_, hooks)) break;
          Rendered(n);
        } else if (working_ == 0 && told_ == ranks_ - 1) {
          break;
        } else {
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
      }
    } catch (const std::exception& e) {
      failure_ = e.what();
    }
    if (terminal_) err_ << "\r\033[K" << std::flush;
    if (!failure_.empty() || StopRequested()) {
      if (!failure_.empty())
        err_ << ProgramName() << ": the run failed: " << failure_;
      else
        err_ << ProgramName() << ": stopped by a signal";
      err_ << "; " << progress_.Done() << " of " << film_.Last - film_.First + 1
           << " frames are complete (the same command continues)\n"
           << std::flush;
      for (int k = 1; k < ranks_; ++k) {
        try {
          Send(-1, k, kTagStop);
        } catch (const std::exception&) {
        }
      }
      return 1;
    }
    return FinishFilm(o_, film_, progress_, err_);
  }

 private:
  // Answers every waiting message.
  void Serve() {
    Message m;
    std::string text;
    while (Receive(MPI_ANY_SOURCE, m, text)) {
      if (m.Tag == kTagFail) {
        failure_ = "process " + std::to_string(m.Source) + ": " + text;
        RequestStop();
      } else if (m.Tag == kTagRequest) {
        if (queue_.empty() || StopRequested() || !failure_.empty()) {
          Send(-1, m.Source, kTagAssign);
          ++told_;
        } else {
          Send(queue_.front(), m.Source, kTagAssign);
          queue_.pop_front();
          ++working_;
        }
      } else if (m.Tag == kTagDone) {
        --working_;
        Rendered(m.Frame);
      }
    }
  }

  void Rendered(int32_t n) {
    progress_.FrameRendered();
    if (terminal_)
      err_ << "\r" << progress_.Line() << "\033[K" << std::flush;
    else
      Note(o_, err_, "wrote '" + film_.Pattern.Name(n) + "'; " + progress_.Line());
  }

  const Options& o_;
  const Film& film_;
  std::deque<int32_t> queue_;
  int ranks_;
  std::ostream& err_;
  FilmProgress progress_;
  bool terminal_;
  int working_ = 0;  // frames handed out and not yet rendered
  int told_ = 0;     // processes told that no frame is left
  std::string failure_;
};

// Another rank: asks for frames and renders them until none is left or rank 0 says stop. False
// when a signal stopped it.
bool Work(const Options& o, const Film& film) {
  Options frameOptions = o;
  frameOptions.Quiet = true;
  ProgressHooks hooks;
  hooks.Tick = [] {
    int flag = 0;
    MPI_Iprobe(kRoot, kTagStop, MPI_COMM_WORLD, &flag, MPI_STATUS_IGNORE);
    if (flag) RequestStop();
  };
  std::ostringstream quiet;
  for (;;) {
    if (StopRequested()) return false;
    Send(0, kRoot, kTagRequest);
    Message m;
    std::string text;
    while (!Receive(kRoot, m, text)) {
      if (StopRequested()) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (m.Tag == kTagStop || m.Frame < 0) return true;
    PreparedBlock frame = film.Frame(o, m.Frame, quiet);
    if (!RenderFresh(frameOptions, frame, quiet, hooks)) return false;
    Send(m.Frame, kRoot, kTagDone);
  }
}

}  // namespace

int MpiAnimate(const Options& o, std::ostream& err) {
  int rank = 0, ranks = 1;
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &ranks);
  // Rank 0 reads the film and finds the frames to render; the others read it once rank 0 could.
  std::unique_ptr<Film> film;
  std::vector<int32_t> todo;
  int status = 0;
  if (rank == kRoot) {
    try {
      film = std::make_unique<Film>(o);
      todo = FramesToRender(o, *film, err);
    } catch (const UsageError& e) {
      err << ProgramName() << ": " << e.what() << "\nTry 'vantorel-render-mpi --help'.\n";
      status = 2;
    } catch (const std::exception& e) {
      err << ProgramName() << ": " << e.what() << "\n";
      status = 1;
    }
  }
  Check(MPI_Bcast(&status, 1, MPI_INT, kRoot, MPI_COMM_WORLD), "Cannot start the run");
  if (status != 0) return rank == kRoot ? status : 0;
  if (rank == kRoot) return Dealer(o, *film, todo, ranks, err).Run();
  try {
    film = std::make_unique<Film>(o);
    // A stop that rank 0 did not order (a signal to this process alone) ends the run too.
    int ordered = 0;
    if (!Work(o, *film) && (MPI_Iprobe(kRoot, kTagStop, MPI_COMM_WORLD, &ordered, MPI_STATUS_IGNORE), !ordered))
      SendText("stopped by a signal", kRoot, kTagFail);
  } catch (const std::exception& e) {
    try {
      SendText(e.what(), kRoot, kTagFail);
    } catch (const std::exception&) {
    }
  }
  // Rank 0 gives the run's exit status.
  return 0;
}

}  // namespace vantorel::cli
