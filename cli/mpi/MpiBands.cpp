#include "cli/mpi/MpiBands.h"

#include <algorithm>
#include <limits>

#include "app/ParameterFile.h"
#include "core/IoError.h"
#include "core/SafeFile.h"

namespace vantorel::cli::mpi {

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

void BandComputer::Start(const Band& band) {
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

Band BandComputer::Poll() {
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

void Coordinator::MaybeCheckpoint(MpiDataFile& f1, MpiDataFile& f2) {
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

}  // namespace vantorel::cli::mpi
