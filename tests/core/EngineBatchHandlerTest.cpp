// The computation thread handing its batches to a handler instead of the data files, drawing
// into no picture: how the multi-process renderer computes a band of rows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/EngineHarness.h"
#include "core/IoError.h"

using namespace vantorel;
using test::Records;
using Project = test::EngineProject;

namespace {

struct Batch {
  int64_t record;
  std::vector<double> e, x;
};

TEST(EngineBatchHandler, BatchesCarryTheFilesRecordsInPixelOrderAndTheStoredFilesStayUntouched) {
  // A first run and a run deriving more from it, over a band of rows begun in its first row:
  // the batches must hold exactly the records a run with files writes there.
  Project files(53, 17, 4, 24, 48), batches(53, 17, 4, 24, 48);
  ASSERT_TRUE(files.Run(3));
  ASSERT_TRUE(batches.Run(3));
  const std::vector<double> firstE = Records(files.tmp1), firstX = Records(files.tmp2);
  for (Project* p : {&files, &batches}) p->params.IterationsDone = p->params.Iterations;
  const auto band = [](TRechenThread& t) { t.SetRegion(20, 5, 53, 11); };
  ASSERT_TRUE(files.Run(3, false, band));

  std::vector<Batch> seen;
  TPicture none;
  ASSERT_TRUE(test::RunEngine(
      batches.params, batches.tmp1, batches.tmp2, 3, false,
      [&](TRechenThread& t) {
        band(t);
        t.SetBatchHandler([&](int64_t record, const double* e, const double* x, int32_t n) {
          seen.push_back({record, {e, e + n}, {x, x + n}});
        });
      },
      &none));
  EXPECT_EQ(Records(batches.tmp1), firstE);  // only read for the stored orbits
  EXPECT_EQ(Records(batches.tmp2), firstX);
  EXPECT_EQ(none.Width + none.Height, 0);

  const std::vector<double> derivedE = Records(files.tmp1), derivedX = Records(files.tmp2);
  int64_t next = 5 * 53 + 20;  // the band's pixels in order, rows from column 20 on
  for (const Batch& b : seen) {
    ASSERT_EQ(b.record, next);
    ASSERT_LE(int64_t(b.record % 53) + int64_t(b.e.size()), 53) << "a batch ends at its row's end";
    for (size_t k = 0; k < b.e.size(); ++k) {
      EXPECT_EQ(b.e[k], derivedE[size_t(b.record) + k]) << "record " << b.record + int64_t(k);
      EXPECT_EQ(b.x[k], derivedX[size_t(b.record) + k]) << "record " << b.record + int64_t(k);
    }
    next = b.record + int64_t(b.e.size());
    if (next % 53 == 0) next += 20;
  }
  EXPECT_EQ(next, 11 * 53 + 20);
}

TEST(EngineBatchHandler, AHandlerThatFailsEndsTheRunWithItsMessage) {
  Project p(40, 12);
  test::EventLoop ui;
  TRechenThread t(ui, 2);
  p.Prepare(t);
  std::string error;
  bool finished = false;
  int calls = 0;
  t.SetBatchHandler([&](int64_t, const double*, const double*, int32_t) {
    if (++calls == 3) throw IoError("Cannot write 'x': the disk is full");
  });
  t.SetErrorHandler([&](const std::string& message) { error = message; });
  t.SetFinishedHandler([&] { finished = true; });
  t.Resume();
  ASSERT_TRUE(ui.PumpUntil([&] { return !error.empty(); }));
  t.WaitFor();
  EXPECT_THAT(error, testing::HasSubstr("the disk is full"));
  EXPECT_FALSE(finished);
  EXPECT_EQ(calls, 3);
  EXPECT_EQ(p.params.ProgressRow, 1);  // two rows handed over, the failed batch not recorded
  EXPECT_EQ(p.tmp1.RecordCount(), 0);  // the handler replaces the files
}

}  // namespace
