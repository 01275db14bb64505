// The messages and files of the multi-process renderer: MPI calls that throw IoError with a
// readable text, the data files opened through MPI-IO, and the run's set-up that rank 0
// broadcasts.
#pragma once

#include <mpi.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "cli/RenderSteps.h"
#include "core/CalcParams.h"
#include "core/IoError.h"
#include "core/RechenThread.h"

namespace vantorel::cli::mpi {

// Messages between the ranks, all small: a request for work, a finished band, a failure (with
// its text), a band handed out and the order to stop.
enum Tag : int { kTagRequest = 1, kTagDone, kTagFail, kTagAssign, kTagStop };

constexpr int kRoot = 0;

std::string MpiErrorText(int code);
// Throws IoError "what: the MPI error's text" unless code is MPI_SUCCESS.
void Check(int code, const std::string& what);

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
    Check(MPI_File_open(MPI_COMM_SELF, path.c_str(), MPI_MODE_RDWR, MPI_INFO_NULL, &fh_), "Cannot open '" + path + "'");
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
    Check(MPI_File_read_at(fh_, MPI_Offset(record) * 8, values, n, MPI_DOUBLE, &status), "Cannot read '" + path_ + "'");
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

void SendInts(const int32_t* values, int count, int to, int tag);
void SendText(const std::string& text, int to, int tag);
// Rank 0's bytes, received by every rank.
std::vector<uint8_t> BroadcastBytes(std::vector<uint8_t> bytes);

// What rank 0 tells every rank before the computation.
struct RunSetup {
  bool Ok = false;
  TCalcParams Params;
  ComputePlan Plan;
  std::string DataDir;
};

std::vector<uint8_t> EncodeSetup(const RunSetup& s);
RunSetup DecodeSetup(const std::vector<uint8_t>& bytes);

}  // namespace vantorel::cli::mpi
