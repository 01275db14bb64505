// How the rows are shared out: the bands dealt from the progress position on, one rank's
// computing of a band through the computation thread, and rank 0's bookkeeping of the bands
// done (the true prefix) with its checkpoints.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/Options.h"
#include "cli/mpi/MpiTransport.h"
#include "core/CalcParams.h"
#include "core/Picture.h"
#include "core/PixelDataFile.h"
#include "core/RechenThread.h"

namespace vantorel::cli::mpi {

constexpr size_t kCopyRecords = 10000;
// A band takes the rows left divided by this many times the number of processes.
constexpr int32_t kBandShare = 4;

// A band of rows to compute; the first row from Column on, the others whole.
struct Band {
  int32_t Id = -1;  // -1: no more work
  int32_t Row = 0, Column = 0, Rows = 0;
};

// The bands of the rows that remain, from the block's progress position on (see MpiBands.cpp).
std::vector<Band> DealBands(const TCalcParams& p, int ranks);

// This rank's computing: one band at a time through the computation thread, with all its
// workers; the records go to the data files through MPI-IO as they are handed over.
class BandComputer {
 public:
  BandComputer(const TCalcParams& p, bool fresh, const Options& o, MpiDataFile& out1, MpiDataFile& out2,
               PixelDataFile* in1, PixelDataFile* in2)
      : params_(p), fresh_(fresh), options_(o), out1_(out1), out2_(out2), in1_(in1), in2_(in2) {}
  ~BandComputer() { Stop(); }

  bool Busy() const { return engine_ != nullptr; }
  void Start(const Band& band);
  // Runs hand-overs for a moment. Returns the band just completed and synced (Id -1 if none).
  // Throws IoError when the computation failed.
  Band Poll();
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

// Rank 0's part beyond computing: it deals out the bands, keeps the true prefix and writes the
// checkpoints and outputs.
class Coordinator {
 public:
  Coordinator(const TCalcParams& p, int ranks, const std::string& checkpoint, double seconds, bool checkpoints)
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
  void MaybeCheckpoint(MpiDataFile& f1, MpiDataFile& f2);
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

}  // namespace vantorel::cli::mpi
