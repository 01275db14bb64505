#include "cli/Options.h"

#include <cmath>
#include <functional>
#include <map>

#include "app/PictureFile.h"
#include "cli/FrameFiles.h"
#include "colour/Supersample.h"
#include "core/NumberText.h"

namespace vantorel::cli {

namespace {

int32_t IntValue(const std::string& option, const std::string& text) {
  const std::optional<int> v = TextToInt(text);
  if (!v) throw UsageError("the value of " + option + " is not a whole number: '" + text + "'");
  return *v;
}

double RealValue(const std::string& option, const std::string& text) {
  const std::optional<double> v = TextToFloatLenient(text);
  if (!v || !std::isfinite(*v)) throw UsageError("the value of " + option + " is not a number: '" + text + "'");
  return *v;
}

// "A-B" or "A": whole numbers, A <= B.
std::pair<int32_t, int32_t> ParseFrameRange(const std::string& text) {
  const size_t dash = text.find('-', 1);
  const std::string first = text.substr(0, dash), last = dash == std::string::npos ? first : text.substr(dash + 1);
  const std::optional<int> a = TextToInt(first), b = TextToInt(last);
  if (!a || !b || *a < 0 || *b < *a)
    throw UsageError("--frames needs FIRST-LAST, two frame numbers with FIRST <= LAST, e.g. 0-29: '" + text + "'");
  return {*a, *b};
}

void ParseSize(const std::string& text, Overrides& o) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) throw UsageError("--size needs WIDTHxHEIGHT, e.g. 800x600: '" + text + "'");
  o.PictureWidth = IntValue("--size", text.substr(0, x));
  o.PictureHeight = IntValue("--size", text.substr(x + 1));
}

}  // namespace

std::pair<double, double> ParseColourRange(const std::string& text) {
  size_t cut = text.find(';');
  if (cut == std::string::npos) {
    std::vector<size_t> commas;
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == ',') commas.push_back(i);
    if (commas.size() == 1 || commas.size() == 3)
      cut = commas[commas.size() / 2];
    else if (commas.size() == 2)
      throw UsageError("--colour-range '" + text +
                       "' can be read two ways: write the numbers with a decimal point "
                       "(-1,0.1) or separate them with ';' (-1;0,1)");
  }
  if (cut == std::string::npos) throw UsageError("--colour-range needs LOW,HIGH, e.g. -1,0.1: '" + text + "'");
  const double lo = RealValue("--colour-range", text.substr(0, cut));
  const double hi = RealValue("--colour-range", text.substr(cut + 1));
  if (!(lo < hi)) throw UsageError("--colour-range needs LOW smaller than HIGH: '" + text + "'");
  return {lo, hi};
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options o;
  Overrides& c = o.Changes;
  bool fpsGiven = false;
  using Setter = std::function<void(const std::string& option, const std::string& value)>;
  const std::map<std::string, Setter> valued = {
      {"-o", [&](auto&, auto& v) { o.Picture = v; }},
      {"--output", [&](auto&, auto& v) { o.Picture = v; }},
      {"--project", [&](auto&, auto& v) { o.Project = v; }},
      {"--data", [&](auto&, auto& v) { o.DataBase = v; }},
      {"--threads",
       [&](auto& n, auto& v) {
         o.Threads = IntValue(n, v);
         if (o.Threads < 1 || o.Threads > 1024) throw UsageError("--threads must lie in 1..1024");
       }},
      {"--supersample",
       [&](auto& n, auto& v) {
         o.Supersample = IntValue(n, v);
         if (o.Supersample < 1 || o.Supersample > kMaxSupersample)
           throw UsageError("--supersample takes 1.." + std::to_string(kMaxSupersample) + " sub-pixels each way, not " +
                            v);
       }},
      {"--check-formula", [&](auto&, auto& v) { o.CheckFormula = v; }},
      {"--size", [&](auto&, auto& v) { ParseSize(v, c); }},
      {"--width", [&](auto& n, auto& v) { c.PictureWidth = IntValue(n, v); }},
      {"--height", [&](auto& n, auto& v) { c.PictureHeight = IntValue(n, v); }},
      {"--iterations", [&](auto& n, auto& v) { c.Iterations = IntValue(n, v); }},
      {"--calm-down", [&](auto& n, auto& v) { c.CalmDownIterations = IntValue(n, v); }},
      {"--fixed",
       [&](auto& n, auto& v) {
         const int32_t k = IntValue(n, v);
         if (k < 1 || k > 6) throw UsageError("--fixed takes a formula number 1..6, not " + v);
         c.FixedFormula = k - 1;
         c.FormulaText.reset();
       }},
      {"--formula",
       [&](auto&, auto& v) {
         c.FormulaText = v;
         c.FixedFormula = -1;
       }},
      {"--w", [&](auto& n, auto& v) { c.W = RealValue(n, v); }},
      {"--v", [&](auto& n, auto& v) { c.V = RealValue(n, v); }},
      {"--u", [&](auto& n, auto& v) { c.U = RealValue(n, v); }},
      {"--sequence", [&](auto&, auto& v) { c.Sequence = v; }},
      {"--start-x", [&](auto& n, auto& v) { c.StartX = RealValue(n, v); }},
      {"--error-limit", [&](auto& n, auto& v) { c.ErrorLimit = RealValue(n, v); }},
      {"--center-x", [&](auto& n, auto& v) { c.CenterX = RealValue(n, v); }},
      {"--center-y", [&](auto& n, auto& v) { c.CenterY = RealValue(n, v); }},
      {"--region-width", [&](auto& n, auto& v) { c.Width = RealValue(n, v); }},
      {"--region-height", [&](auto& n, auto& v) { c.Height = RealValue(n, v); }},
      {"--angle", [&](auto& n, auto& v) { c.AngleDegrees = RealValue(n, v); }},
      {"--colours", [&](auto&, auto& v) { o.Colours = v; }},
      {"--animate", [&](auto&, auto& v) { o.Animate = v; }},
      {"--frames", [&](auto&, auto& v) { o.FrameRange = ParseFrameRange(v); }},
      {"--video", [&](auto&, auto& v) { o.Video = v; }},
      {"--fps",
       [&](auto& n, auto& v) {
         o.Fps = IntValue(n, v);
         fpsGiven = true;
         if (o.Fps < 1 || o.Fps > kMaxFps) throw UsageError("--fps must lie in 1.." + std::to_string(kMaxFps));
       }},
      {"--colour-range", [&](auto&, auto& v) { o.ColourRange = ParseColourRange(v); }},
      {"--thumbnail",
       [&](auto& n, auto& v) {
         o.Thumbnail = IntValue(n, v);
         if (*o.Thumbnail < kMinThumbnailSide || *o.Thumbnail > kMaxThumbnailSide)
           throw UsageError("--thumbnail must lie in " + std::to_string(kMinThumbnailSide) + ".." +
                            std::to_string(kMaxThumbnailSide));
       }},
      {"--time-limit",
       [&](auto& n, auto& v) {
         o.TimeLimit = RealValue(n, v);
         if (*o.TimeLimit <= 0) throw UsageError("--time-limit must be positive");
       }},
  };
  const std::map<std::string, std::function<void()>> flags = {
      {"-h", [&] { o.Help = true; }},
      {"--help", [&] { o.Help = true; }},
      {"--version", [&] { o.Version = true; }},
      {"--quiet", [&] { o.Quiet = true; }},
      {"-q", [&] { o.Quiet = true; }},
      {"--more", [&] { o.More = true; }},
      {"--fast", [&] { o.Fast = true; }},
      {"--auto-colours", [&] { o.AutoColours = true; }},
      {"--list-palettes", [&] { o.ListPalettes = true; }},
      {"--smart", [&] { c.SmartIterate = true; }},
      {"--no-smart", [&] { c.SmartIterate = false; }},
  };

  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg.size() > 1 && arg[0] == '-') {
      std::optional<std::string> inlineValue;
      const size_t eq = arg.find('=');
      if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
        inlineValue = arg.substr(eq + 1);
        arg.resize(eq);
      }
      if (auto f = flags.find(arg); f != flags.end()) {
        if (inlineValue) throw UsageError(arg + " takes no value");
        f->second();
        continue;
      }
      auto s = valued.find(arg);
      if (s == valued.end()) throw UsageError("unknown option " + arg);
      if (!inlineValue && i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      s->second(arg, inlineValue ? *inlineValue : args[++i]);
      continue;
    }
    if (o.Input) throw UsageError("only one input file can be given ('" + *o.Input + "', '" + arg + "')");
    o.Input = arg;
  }

  if (o.Help || o.Version || o.CheckFormula || o.ListPalettes) return o;
  if (o.ColourRange && !o.Colours) throw UsageError("--colour-range spans the colours given with --colours");
  if (o.Colours && o.Colours->empty()) throw UsageError("--colours needs a file or the name of a shipped list");
  // Values typed on the command line are checked here, with the desktop program's limits.
  const auto inRange = [](const std::optional<int32_t>& v, int32_t lo, int32_t hi) {
    return !v || (*v >= lo && *v <= hi);
  };
  if (!inRange(c.PictureWidth, kMinPictureSide, kMaxPictureSide) ||
      !inRange(c.PictureHeight, kMinPictureSide, kMaxPictureSide))
    throw UsageError("the picture size must lie in " + std::to_string(kMinPictureSide) + ".." +
                     std::to_string(kMaxPictureSide) + " pixels each way");
  // The spin edits' range; the rounded count may exceed it by the AB-sequence's length.
  if (!inRange(c.Iterations, 1, kLargestSpinCount))
    throw UsageError("--iterations must lie in 1.." + std::to_string(kLargestSpinCount));
  if (!inRange(c.CalmDownIterations, 0, kLargestSpinCount))
    throw UsageError("--calm-down must lie in 0.." + std::to_string(kLargestSpinCount));
  if (c.Sequence && c.Sequence->empty()) throw UsageError("--sequence must not be empty");
  if (o.Animate) {
    if (!o.Picture) throw UsageError("--animate needs -o PATTERN, e.g. -o frames/frame_%05d.png");
    static_cast<void>(FramePattern{*o.Picture});  // refuses a pattern without a frame number
    if (o.Input || c.Any())
      throw UsageError(
          "--animate takes the picture and its parameters from the animation file: give no input "
          "file and no parameter options with it");
    if (o.Project || o.DataBase || o.More || o.Thumbnail || o.TimeLimit)
      throw UsageError(
          "--animate writes frame pictures only and cannot be combined with --project, --data, "
          "--more, --thumbnail or --time-limit");
  } else if (o.FrameRange || o.Video || fpsGiven) {
    throw UsageError("--frames, --video and --fps belong to --animate");
  }
  if (o.Video) {
    const std::string& v = *o.Video;
    const auto endsWith = [&](const std::string& ext) {
      return v.size() > ext.size() && v.compare(v.size() - ext.size(), ext.size(), ext) == 0;
    };
    if (!endsWith(".mp4") && !endsWith(".webm"))
      throw UsageError("the video name must end in .mp4 or .webm: '" + v + "'");
  }
  PictureType type;
  if (o.Picture && !o.Thumbnail && !PictureTypeForPath(*o.Picture, type))
    throw UsageError("the picture name must end in .bmp, .jpg, .jpeg or .png: '" + *o.Picture + "'");
  if (o.Supersample > 1 && (o.Project || o.DataBase))
    throw UsageError(
        "--supersample writes a picture only: the data of a supersampled picture are not a "
        "project (--size with N times the width and height renders that project)");
  if (o.Supersample > 1 && o.AutoColours)
    throw UsageError(
        "--auto-colours cannot be combined with --supersample: it needs the stored exponents of "
        "the whole picture, which a supersampled render does not keep");
  if (o.Supersample > 1 && o.Thumbnail) throw UsageError("--thumbnail and --supersample cannot be combined");
  if (o.Supersample > 1 && o.More)
    throw UsageError("--supersample computes the picture afresh and cannot be combined with --more");
  if (o.More && c.Any())
    throw UsageError(
        "--more derives more iterations from the stored data and cannot be combined "
        "with changed parameters");
  if (o.Thumbnail) {
    if (!o.Picture) throw UsageError("--thumbnail needs -o PICTURE (written as PNG)");
    if (o.Project || o.DataBase || o.More || c.Any())
      throw UsageError(
          "--thumbnail writes only a picture and cannot be combined with --project, --data, "
          "--more or changed parameters");
    if (!o.TimeLimit) o.TimeLimit = kThumbnailSeconds;
  }
  return o;
}

std::string DefaultPictureName(const std::optional<std::string>& input) {
  if (!input) return "vantorel.bmp";
  std::string name = *input;
  if (const size_t slash = name.find_last_of('/'); slash != std::string::npos) name.erase(0, slash + 1);
  if (const size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  if (name.empty()) name = "vantorel";
  return name + ".bmp";
}

std::string HelpText() {
  return R"HELP(Usage: vantorel-render [FILE] [OPTIONS]
Computes a Lyapunov picture from a parameter file (*.Par), a project file (*.LPr),
a PNG picture saved by Vantorel (its parameters) or, without FILE, the default project of
the desktop program.

A project file whose calculation was interrupted continues where it stopped; the pixels
computed before are coloured from their stored exponents. A finished project is only
coloured, unless --more is given.

Output (existing files are replaced only once the new file is complete):
  -o, --output PICTURE   write the picture; the extension chooses the type:
                         .bmp (24-bit Windows bitmap), .jpg/.jpeg (JPEG, quality 90)
                         or .png (PNG carrying the parameters)
      --project OUT.LPr  write a project file (parameters and pixel data) for the
                         desktop program
      --data BASE        write the parameters and pixel data as BASE.TMP0 (parameters),
                         BASE.TMP1 (exponents) and BASE.TMP2 (orbit values)
  Without -o, --project and --data the picture is written to NAME.bmp in the current
  directory, NAME being FILE's name without directory and extension ("vantorel"
  without FILE).

Calculation:
      --threads N        computing threads, 1..1024 (default: all hardware threads)
      --supersample N    smooth edges: colour every pixel from N x N sub-pixels (N = 1..8),
                         averaged in linear light; the picture keeps its size, computing
                         takes about N x N times as long, memory stays that of the picture.
                         Any input is computed afresh; only a picture is written (not with
                         --project, --data or --more). N = 1 is the plain picture
      --more             derive more iterations of a finished project (whole picture)
      --fast             fast maths: fixed formulas 2-6 take sine and cosine from a vector
                         library (at most 1 ulp off), a user formula runs in vector lanes in
                         double precision; stable pixels keep their exponents, chaotic orbits
                         differ as between any two maths libraries
  -q, --quiet            no progress display and no summary on stderr
      --time-limit SECONDS  give up when the calculation takes longer; nothing is
                         written then

Thumbnails (for file managers):
      --thumbnail SIZE   write to -o a PNG picture of at most SIZE x SIZE pixels
                         (16..1024), whatever its extension: a project with stored
                         data is coloured from them without computing; anything else
                         is computed small, with at most 50 million iterations in all,
                         and gives up after 10 seconds (--time-limit) writing nothing

Changes to the parameters (numbers with decimal point or comma; any change starts the
picture afresh, stored pixel data are not used):
      --size WxH         picture size in pixels, each 10..100000 (also --width, --height)
      --iterations N     iterations, 1..100000000; rounded as the desktop program does:
                         up to a multiple of the AB-sequence length S (N - N mod S + S;
                         a multiple of S stays)
      --calm-down N      calm-down iterations, 0..100000000, rounded the same way
      --fixed N          iterate fixed formula N (1..6)
      --formula TEXT     iterate the user formula TEXT, e.g. "2,5*sqr(sin(X+AB))"
      --w X, --v X, --u X  parameters W, V and U of the fixed formulas
      --sequence TEXT    AB-sequence: A (or a) for A, any other character for B
      --start-x X        start value of X
      --smart, --no-smart  smart-iterate on or off
      --error-limit X    error limit of smart-iterate (its absolute value is used)
      --center-x X, --center-y Y  centre of the region
      --region-width X, --region-height Y  extent of the region
      --angle DEGREES    rotation of the region, counter-clockwise

Colours (the list of value-colour pairs that colours the exponents):
      --colours FILE|NAME  replace the colour list: a colour file (.Pal), a GIMP gradient
                         (.ggr), a GIMP palette (.gpl), a 256-colour .map palette, or the
                         NAME of a shipped list (see --list-palettes); the picture is coloured
                         anew from the stored exponents, nothing is computed again for it
      --colour-range LOW,HIGH  the values a gradient or palette spans (default: the first
                         and last values of the list it replaces, -1 ... 0,1 for the default
                         list); ';' may separate the numbers, e.g. -1;0,1
      --auto-colours     after computing, move the list's values to the quantiles of the
                         picture's exponents, negative and positive ones apart (0 stays), so
                         that each colour band covers a similar share of the pixels
      --list-palettes    list the shipped colour lists and exit

Films (frame after frame of a keyframed animation, see docs/animation.md):
      --animate FILE.anim  render the film's frames to -o PATTERN, a name with %d or %0Nd
                         for the frame number (e.g. -o frames/f_%05d.png); every frame is
                         written whole, frames already complete are kept, so the same
                         command resumes an interrupted film
      --frames A-B       render only frames A to B of the film (0 is the first)
      --video OUT.mp4    when every frame is there, encode them with ffmpeg (.mp4 or .webm);
                         without ffmpeg the frames stay and the exit status is 3
      --fps N            the video's frames per second, 1..240 (default 30)
  e.g. vantorel-render --animate zoom.anim -o frames/f_%05d.png --video zoom.mp4

Other:
      --check-formula TEXT  say whether TEXT is a usable formula and exit (0: usable)
  -h, --help             show this text
      --version          show the version

Progress and remaining time are shown on stderr when it is a terminal. Ctrl-C stops the
calculation; nothing is written then.
Exit status: 0 success, 1 failure (with a message), 2 bad command line, 3 a film's frames
are complete but its video was not made because ffmpeg is not installed.
)HELP";
}

}  // namespace vantorel::cli
