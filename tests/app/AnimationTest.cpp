#include "app/Animation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "app/ParameterFile.h"
#include "app/PictureFile.h"
#include "core/IoError.h"
#include "support/TestSupport.h"

namespace vantorel {
namespace {

const std::string kHead = "frames 30\nkey 0\n";

// The path of a film text over `base`.
AnimationPath PathOf(const std::string& text, const TCalcParams& base = DefaultCalcParams()) {
  return AnimationPath(ParseAnimation(text), base);
}

struct BadText {
  std::string text, line, word;
};

// Texts that are no film name the line; keys whose block cannot be computed name the key.
TEST(AnimationParse, BadTextsAndKeysThatCannotBeComputedNameWhereAndTheProblem) {
  const std::string k9 = "frames 10\nkey 0\nkey 9 ";
  const BadText rows[] = {
      {"frames 30\nkey 0\nzoom 3\nkey 29\n", "line 3", "unknown statement"},
      {kHead + "key 29 x=1\n", "line 3", "unknown parameter"},
      {kHead + "key 29 w\n", "line 3", "name=value"},
      {kHead + "key 29 w=abc\n", "line 3", "not a number"},
      {kHead + "key 29 iterations=1,5\n", "line 3", "whole number"},
      {kHead + "key 29 fixed=7\n", "line 3", "1..6"},
      {kHead + "key 29 w=1 w=2\n", "line 3", "twice"},
      {kHead + "key 29 formula=\"X*A\n", "line 3", "quote"},
      {kHead + "key 0 w=1\nkey 29\n", "line 3", "given twice"},
      {kHead + "key 30\nkey 29\n", "line 3", "outside"},
      {kHead + "key -1\nkey 29\n", "line 3", "outside"},
      {"frames 30\nkey 29\n", "line 1", "key 0"},
      {"# a film\nframes 30\nkey 0\n", "line 2", "key 29"},
      {"key 0\n", "line 1", "frames statement"},
      {"frames 0\nkey 0\n", "line 1", "1..1000000"},
      {"frames 1000001\nkey 0\n", "line 1", "1..1000000"},
      {"frames many\nkey 0\n", "line 1", "whole number"},
      {"frames 1\nframes 1\nkey 0\n", "line 2", "given twice"},
      {"frames 1\nkey 0\nsize 9x240\n", "line 3", "10..100000"},
      {"frames 1\nkey 0\nsize 320x100001\n", "line 3", "10..100000"},
      {"frames 1\nkey 0\nsize 320\n", "line 3", "WIDTHxHEIGHT"},
      {"frames 1\nkey 0\nsize 320 x 240\n", "line 3", "one value"},
      {"frames 1\nkey 0\neasing fast\n", "line 3", "smooth or linear"},
      {"frames 1\nkey\n", "line 2", "frame number"},
      {k9 + "region-width=0\n", "key 9", "positive width"},
      {k9 + "region-height=-1\n", "key 9", "positive width"},
      {k9 + "sequence=\"\"\n", "key 9", "AB-sequence"},
      {k9 + "iterations=0\n", "key 9", "not positive"},
      {k9 + "iterations=2000000000\n", "key 9", "larger than"},
      {k9 + "formula=sin(\n", "key 9", "formula"},
  };
  for (const BadText& row : rows) {
    const std::string message = test::ErrorOf<AnimationError>([&] { PathOf(row.text); });
    EXPECT_EQ(message.rfind(row.line + ":", 0), 0u) << row.text << " -> " << message;
    EXPECT_NE(message.find(row.word), std::string::npos) << row.text << " -> " << message;
  }
}

TEST(AnimationParse, ReadsStatementsCommentsQuotesAndSortsKeys) {
  const Animation a = ParseAnimation(
      "# a film\n\nbase \"my base.Par\"  # relative\nsize 640X480\r\nframes 10\neasing linear\n"
      "key 9 center-x=1.5 fixed=2\n"
      "key 0 region-width=0,25 formula=\"2*sin(X + A) # no comment\" sequence=AB iterations=100 angle=-90\n");
  Animation want;
  want.Base = "my base.Par", want.Width = 640, want.Height = 480, want.Frames = 10, want.Ease = Easing::Linear;
  AnimationKey k0{0, {}}, k9{9, {}};
  k0.Set.Width = 0.25, k0.Set.FormulaText = "2*sin(X + A) # no comment", k0.Set.FixedFormula = -1;
  k0.Set.Sequence = "AB", k0.Set.Iterations = 100, k0.Set.AngleDegrees = -90;
  k9.Set.CenterX = 1.5, k9.Set.FixedFormula = 1;
  want.Keys = {k0, k9};
  EXPECT_EQ(a, want) << AnimationText(a);
}

TEST(AnimationParse, TextRoundTripsExactly) {
  Animation a;
  a.Base = "films/a \"b\" \\ c.png", a.Width = 33, a.Height = 10, a.Frames = 100, a.Ease = Easing::Linear;
  AnimationKey k0{0, {}}, k1{50, {}}, k2{99, {}};
  Overrides& o = k0.Set;
  o.CenterX = 0.1 + 0.2, o.CenterY = -1e-300, o.Width = 1.0 / 3, o.Height = 123456789012345678.0;
  o.AngleDegrees = 12.5, o.W = 3.999999999999999, o.V = 5e-7, o.U = -0.0, o.StartX = 0.5;
  o.Iterations = 1200, o.CalmDownIterations = 0, o.Sequence = "AB BA", o.FormulaText = "2,5*sqr(sin(X+AB))";
  o.FixedFormula = -1, k1.Set.FixedFormula = 5;
  a.Keys = {k0, k1, k2};
  const std::string text = AnimationText(a);
  EXPECT_EQ(ParseAnimation(text), a) << text;
  EXPECT_NE(text.find("center-x=0,30000000000000004"), std::string::npos) << text;
}

// Where the point (x, y) lies in a frame, in fractional pixels (column, PictureHeight - row).
std::pair<double, double> PixelOf(const TCalcParams& p, double x, double y) {
  const PixelMapping m(p);
  const double a = x - m.ox, b = y - m.oy;
  return {(m.c * a + m.s * b) / m.dx, (-m.s * a + m.c * b) / m.dy};
}

TEST(AnimationPath, ZoomHasAConstantRatioAndAFixedPointThatKeepsItsPixel) {
  struct Row {
    double angle0, angle1;  // degrees
  };
  for (const Row row : {Row{0, 0}, Row{0, 90}, Row{30, -200}}) {
    // Key 0 shows the default region; the last key the similarity z about F of it.
    const TCalcParams base = DefaultCalcParams();
    const std::complex<double> f(3.95, 1.19), c0(base.CenterX, base.CenterY);
    const double r = 1e-3, turn = (row.angle1 - row.angle0) * kPi / 180;
    const std::complex<double> c1 = f + std::polar(r, turn) * (c0 - f);
    Animation a = ParseAnimation("frames 61\nsize 320x240\nkey 0\nkey 60\n");
    a.Keys[0].Set.AngleDegrees = row.angle0;
    Overrides& last = a.Keys[1].Set;
    last.CenterX = c1.real(), last.CenterY = c1.imag(), last.AngleDegrees = row.angle1;
    last.Width = base.Width * r, last.Height = base.Height * r;
    const AnimationPath path(a, base);
    const auto [i0, j0] = PixelOf(path.Frame(0), f.real(), f.imag());
    const double ratio = std::pow(r, 1.0 / 60);
    for (int32_t n = 1; n < path.FrameCount(); ++n) {
      const TCalcParams p = path.Frame(n), before = path.Frame(n - 1);
      EXPECT_NEAR(p.Width / before.Width, ratio, 1e-12) << n;
      EXPECT_NEAR(p.Height / before.Height, ratio, 1e-12) << n;
      const auto [i, j] = PixelOf(p, f.real(), f.imag());
      EXPECT_NEAR(i, i0, 1e-6) << row.angle1 << " frame " << n;
      EXPECT_NEAR(j, j0, 1e-6) << row.angle1 << " frame " << n;
    }
  }
}

TEST(AnimationPath, PanMovesTheCentreLinearly) {
  const AnimationPath path = PathOf("frames 11\nkey 0 center-x=1 center-y=2\nkey 10 center-x=2 center-y=0\n");
  EXPECT_DOUBLE_EQ(path.Frame(3).CenterX, 1.3);
  EXPECT_DOUBLE_EQ(path.Frame(3).CenterY, 1.4);
  EXPECT_DOUBLE_EQ(path.Frame(3).Width, DefaultCalcParams().Width);
}

TEST(AnimationPath, KeyBlocksAreTheBaseWithTheMergedOptionsOfEveryKeySoFar) {
  TCalcParams base = DefaultCalcParams();
  base.State = StateFinished, base.ProgressRow = 7, base.IterationsDone = 150;
  const AnimationPath path = PathOf(
      "size 100x80\nframes 9\nkey 0 w=3 iterations=100 formula=X*A\n"
      "key 4 sequence=ABB v=0.2\nkey 8 fixed=3 w=3,5\n",
      base);
  Overrides merged;
  merged.PictureWidth = 100, merged.PictureHeight = 80, merged.W = 3, merged.Iterations = 100;
  merged.FormulaText = "X*A", merged.FixedFormula = -1;
  const auto expected = [&] {
    TCalcParams p = base;
    merged.ApplyTo(p);
    p.State = StateInitialised, p.ProgressRow = p.IterationsDone = 0;
    return p;
  };
  EXPECT_EQ(path.Frame(0), expected());
  merged.Sequence = "ABB", merged.V = 0.2;
  EXPECT_EQ(path.Frame(4), expected());
  EXPECT_EQ(path.Frame(4).Iterations, 102);  // rounded to the new sequence
  merged.FormulaText.reset();                // a fixed formula drops the text set before
  merged.FixedFormula = 2, merged.W = 3.5;
  EXPECT_EQ(path.Frame(8), expected());
  EXPECT_EQ(path.Frame(8).FormulaText, base.FormulaText);
  for (int32_t n = 0; n < 9; ++n) {  // between keys the block of the key before, not a blend
    const TCalcParams p = path.Frame(n), key = path.Frame(n < 4 ? 0 : n < 8 ? 4 : 8);
    EXPECT_TRUE(p.Sequence == key.Sequence && p.FixedFormula == key.FixedFormula && p.FormulaText == key.FormulaText)
        << n;
    EXPECT_EQ(p.Iterations % p.SequenceLength, 0) << n;
  }
  EXPECT_TRUE(path.IsKeyframe(4));
  EXPECT_FALSE(path.IsKeyframe(5));
  EXPECT_EQ(path.FrameCount(), 9);
  EXPECT_THROW(path.Frame(9), std::out_of_range);
}

TEST(AnimationPath, SmoothNumbersHitTheKeysAndNeverOvershoot) {
  for (const char* easing : {"smooth", "linear"}) {
    const AnimationPath path = PathOf(std::string("easing ") + easing +
                                      "\nframes 41\nkey 0 w=2 u=0 iterations=120\nkey 5 w=3,9 u=0\n"
                                      "key 20 w=3,5 u=1 iterations=12000\nkey 30 w=3,5\nkey 40 w=3 u=-1\n");
    const double keys[][2] = {{0, 2}, {5, 3.9}, {20, 3.5}, {30, 3.5}, {40, 3}};
    for (const auto& [frame, w] : keys) EXPECT_EQ(path.Frame(int32_t(frame)).W, w);
    for (size_t k = 0; k + 1 < std::size(keys); ++k)
      for (int32_t n = int32_t(keys[k][0]); n <= keys[k + 1][0]; ++n) {
        const double w = path.Frame(n).W;
        EXPECT_GE(w, std::min(keys[k][1], keys[k + 1][1])) << easing << " " << n;
        EXPECT_LE(w, std::max(keys[k][1], keys[k + 1][1])) << easing << " " << n;
        if (keys[k][1] == keys[k + 1][1]) {
          EXPECT_EQ(w, keys[k][1]) << n;
        }
      }
    int32_t lastCount = 0;
    for (int32_t n = 0; n <= 20; ++n) {
      const TCalcParams p = path.Frame(n);
      if (n <= 5) {
        EXPECT_EQ(p.U, 0.0) << n;
      }
      EXPECT_GE(p.Iterations, lastCount) << n;
      EXPECT_EQ(p.Iterations % 12, 0) << n;
      lastCount = p.Iterations;
    }
  }
  // Smooth starts at rest; linear at once.
  EXPECT_LT(PathOf("frames 11\nkey 0 w=0\nkey 10 w=10\n").Frame(1).W, 0.5);
  EXPECT_DOUBLE_EQ(PathOf("easing linear\nframes 11\nkey 0 w=0\nkey 10 w=10\n").Frame(1).W, 1);
}

TEST(AnimationFile, SavesLoadsAndReadsItsBaseBesideIt) {
  test::TempDir dir;
  TCalcParams block = DefaultCalcParams();
  block.W = 3.25;
  SaveParameterFile(dir.file("base.Par"), block);
  block.W = 3.5;
  TPicture picture;
  picture.Resize(10, 10);
  SavePng(dir.file("base.png"), RowsOf(picture), EncodeParameterBlock(block, BlockForm::Parameters));

  Animation a = ParseAnimation("frames 2\nkey 0 w=1\nkey 1\n");
  SaveAnimationFile(dir.file("film.anim"), a);
  EXPECT_EQ(LoadAnimationFile(dir.file("film.anim")), a);
  EXPECT_EQ(LoadAnimationBase(a, dir.file("film.anim")), DefaultCalcParams());
  a.Base = "base.Par";
  EXPECT_EQ(LoadAnimationBase(a, dir.file("film.anim")).W, 3.25);
  a.Base = "base.png";
  EXPECT_EQ(LoadAnimationBase(a, dir.file("film.anim")).W, 3.5);
  a.Base = "missing.Par";
  EXPECT_NE(test::ErrorOf<IoError>([&] { LoadAnimationBase(a, dir.file("film.anim")); }).find("missing.Par"),
            std::string::npos);

  test::WriteBytes(dir.file("bad.anim"), {'k', 'e', 'y', '\n'});
  const std::string message = test::ErrorOf<AnimationError>([&] { LoadAnimationFile(dir.file("bad.anim")); });
  EXPECT_NE(message.find("bad.anim', line 1:"), std::string::npos) << message;
  EXPECT_THROW(LoadAnimationFile(dir.file("none.anim")), IoError);
}

}  // namespace
}  // namespace vantorel
