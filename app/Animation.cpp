// Animation texts and files, and the base block a film starts from.
#include "app/Animation.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "app/ParameterFile.h"
#include "app/ProjectFile.h"
#include "core/IoError.h"
#include "core/NumberText.h"
#include "core/SafeFile.h"

namespace vantorel {

namespace {

// Frame counts beyond this are a typing error, not a film (a million frames are nine hours at 30
// frames a second).
constexpr int32_t kMaxFrames = 1000000;
// An animation file larger than this is no animation file.
constexpr uint64_t kMaxAnimationFileBytes = 64u << 20;

[[noreturn]] void Fail(int line, const std::string& what) {
  throw AnimationError("line " + std::to_string(line) + ": " + what);
}

// One word of a line: its text with quotes removed, and where its first '=' outside quotes is.
struct Word {
  std::string Text;
  size_t Equals = std::string::npos;
};

// Splits a line into words at blanks outside quotes; '#' outside quotes ends the line. Inside
// "...", \" stands for a quote and \\ for a backslash.
std::vector<Word> SplitLine(std::string_view line, int lineNo) {
  std::vector<Word> words;
  bool inWord = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char ch = line[i];
    if (!quoted && (ch == ' ' || ch == '\t' || ch == '\r')) {
      inWord = false;
      continue;
    }
    if (!quoted && ch == '#') break;
    if (!inWord) {
      words.emplace_back();
      inWord = true;
    }
    Word& w = words.back();
    if (ch == '"') {
      quoted = !quoted;
    } else if (quoted && ch == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
      w.Text.push_back(line[++i]);
    } else {
      if (!quoted && ch == '=' && w.Equals == std::string::npos) w.Equals = w.Text.size();
      w.Text.push_back(ch);
    }
  }
  if (quoted) Fail(lineNo, "a quote \" is not closed");
  return words;
}

// A word as SplitLine reads it back.
std::string Quoted(const std::string& text) {
  if (!text.empty() && text.find_first_of(" \t\r#\"\\=") == std::string::npos) return text;
  std::string out = "\"";
  for (const char ch : text) {
    if (ch == '"' || ch == '\\') out.push_back('\\');
    out.push_back(ch);
  }
  return out + "\"";
}

int32_t WholeNumber(const std::string& text, int line, const std::string& what) {
  const std::optional<int> v = TextToInt(text);
  if (!v) Fail(line, what + " needs a whole number, not '" + text + "'");
  return *v;
}

std::string KeyNameList() {
  std::string list;
  for (const std::string& n : AnimationKeyNames()) list += (list.empty() ? "" : ", ") + n;
  return list;
}

AnimationKey ParseKey(const std::vector<Word>& words, int line) {
  if (words.size() < 2 || words[1].Equals != std::string::npos)
    Fail(line, "key needs a frame number: key N name=value ...");
  AnimationKey key;
  key.Frame = WholeNumber(words[1].Text, line, "key");
  const std::vector<std::string>& names = AnimationKeyNames();
  std::vector<std::string> seen;
  for (size_t i = 2; i < words.size(); ++i) {
    const Word& w = words[i];
    if (w.Equals == std::string::npos) Fail(line, "'" + w.Text + "' is not of the form name=value");
    const std::string name = w.Text.substr(0, w.Equals);
    if (std::find(names.begin(), names.end(), name) == names.end())
      Fail(line, "unknown parameter '" + name + "'; a key sets " + KeyNameList());
    if (std::find(seen.begin(), seen.end(), name) != seen.end()) Fail(line, name + " is set twice");
    seen.push_back(name);
    try {
      SetOverride(key.Set, name, w.Text.substr(w.Equals + 1));
    } catch (const OverrideError& e) {
      Fail(line, e.what());
    }
  }
  return key;
}

void ParseSize(const std::vector<Word>& words, int line, Animation& a) {
  const std::string& text = words[1].Text;
  const size_t x = text.find_first_of("xX");
  const std::optional<int> w = x == std::string::npos ? std::nullopt : TextToInt(text.substr(0, x));
  const std::optional<int> h = x == std::string::npos ? std::nullopt : TextToInt(text.substr(x + 1));
  if (!w || !h) Fail(line, "size needs WIDTHxHEIGHT, e.g. size 320x240");
  if (*w < kMinPictureSize || *w > kMaxPictureSize || *h < kMinPictureSize || *h > kMaxPictureSize)
    Fail(line, "the frame size " + text + " lies outside " + std::to_string(kMinPictureSize) + ".." +
                   std::to_string(kMaxPictureSize) + " pixels each way");
  a.Width = *w;
  a.Height = *h;
}

std::string RealText(double v) { return FloatToExactText(v); }

}  // namespace

const std::vector<std::string>& AnimationKeyNames() {
  static const std::vector<std::string> names = {
      "center-x", "center-y",   "region-width", "region-height", "angle",    "w",       "v",
      "u",        "iterations", "calm-down",    "start-x",       "sequence", "formula", "fixed",
  };
  return names;
}

Animation ParseAnimation(std::string_view text) {
  Animation a;
  std::map<std::string, int> statementLine;  // where each of base, size, frames, easing stands
  std::map<int32_t, int> keyLine;            // the line of each key by frame
  int line = 0;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view lineText = text.substr(at, end - at);
    at = end + 1;
    ++line;
    const std::vector<Word> words = SplitLine(lineText, line);
    if (words.empty()) continue;
    const std::string& statement = words[0].Text;
    if (statement == "key") {
      AnimationKey key = ParseKey(words, line);
      if (const auto k = keyLine.find(key.Frame); k != keyLine.end())
        Fail(line,
             "key " + std::to_string(key.Frame) + " is given twice (first on line " + std::to_string(k->second) + ")");
      keyLine[key.Frame] = line;
      a.Keys.push_back(std::move(key));
      continue;
    }
    if (statement != "base" && statement != "size" && statement != "frames" && statement != "easing")
      Fail(line, "unknown statement '" + statement + "'; a line is base, size, frames, easing or key");
    if (statementLine.count(statement)) Fail(line, statement + " is given twice");
    statementLine[statement] = line;
    if (words.size() != 2) Fail(line, statement + " needs one value");
    if (statement == "base") {
      a.Base = words[1].Text;
      if (a.Base.empty()) Fail(line, "base needs a file name or default");
    } else if (statement == "size") {
      ParseSize(words, line, a);
    } else if (statement == "frames") {
      a.Frames = WholeNumber(words[1].Text, line, "frames");
      if (a.Frames < 1 || a.Frames > kMaxFrames)
        Fail(line, "the frame count " + words[1].Text + " lies outside 1.." + std::to_string(kMaxFrames));
    } else if (words[1].Text == "smooth" || words[1].Text == "linear") {
      a.Ease = words[1].Text == "smooth" ? Easing::Smooth : Easing::Linear;
    } else {
      Fail(line, "easing is smooth or linear, not '" + words[1].Text + "'");
    }
  }
  const int lastLine = std::max(line, 1);
  if (!statementLine.count("frames")) Fail(lastLine, "the text ends without a frames statement");
  const int framesLine = statementLine["frames"];
  for (const auto& [frame, kl] : keyLine)
    if (frame < 0 || frame >= a.Frames)
      Fail(kl, "key " + std::to_string(frame) + " lies outside the frames 0.." + std::to_string(a.Frames - 1));
  if (!keyLine.count(0)) Fail(framesLine, "the film needs a key 0, its first frame");
  if (!keyLine.count(a.Frames - 1))
    Fail(framesLine, "the film needs a key " + std::to_string(a.Frames - 1) + ", its last frame");
  std::stable_sort(a.Keys.begin(), a.Keys.end(),
                   [](const AnimationKey& x, const AnimationKey& y) { return x.Frame < y.Frame; });
  return a;
}

std::string AnimationText(const Animation& a) {
  std::string out = "base " + Quoted(a.Base) + "\n";
  out += "size " + std::to_string(a.Width) + "x" + std::to_string(a.Height) + "\n";
  out += "frames " + std::to_string(a.Frames) + "\n";
  out += std::string("easing ") + (a.Ease == Easing::Smooth ? "smooth" : "linear") + "\n";
  for (const AnimationKey& k : a.Keys) {
    const Overrides& s = k.Set;
    out += "key " + std::to_string(k.Frame);
    const auto put = [&out](const char* name, const std::string& value) {
      out += std::string(" ") + name + "=" + Quoted(value);
    };
    const auto real = [&put](const char* name, const std::optional<double>& v) {
      if (v) put(name, RealText(*v));
    };
    real("center-x", s.CenterX);
    real("center-y", s.CenterY);
    real("region-width", s.Width);
    real("region-height", s.Height);
    real("angle", s.AngleDegrees);
    real("w", s.W);
    real("v", s.V);
    real("u", s.U);
    if (s.Iterations) put("iterations", std::to_string(*s.Iterations));
    if (s.CalmDownIterations) put("calm-down", std::to_string(*s.CalmDownIterations));
    real("start-x", s.StartX);
    if (s.Sequence) put("sequence", *s.Sequence);
    const bool fixed = s.FixedFormula && *s.FixedFormula >= 0;
    if (s.FormulaText && !fixed) put("formula", *s.FormulaText);
    if (fixed) put("fixed", std::to_string(*s.FixedFormula + 1));
    out += "\n";
  }
  return out;
}

Animation LoadAnimationFile(const std::string& path) {
  const InputFile file(path);
  if (file.Size() > kMaxAnimationFileBytes)
    throw AnimationError("'" + path + "' is too large for an animation file (" + std::to_string(file.Size()) +
                         " bytes)");
  std::string text(static_cast<size_t>(file.Size()), '\0');
  if (file.ReadAt(0, text.data(), text.size()) != text.size())
    throw IoError("Cannot read '" + path + "': the file ended early");
  try {
    return ParseAnimation(text);
  } catch (const AnimationError& e) {
    throw AnimationError("'" + path + "', " + e.what());
  }
}

void SaveAnimationFile(const std::string& path, const Animation& animation) {
  const std::string text = AnimationText(animation);
  WriteFileSafely(path, text.data(), text.size());
}

TCalcParams LoadAnimationBase(const Animation& animation, const std::string& animationPath) {
  if (animation.Base == "default") return DefaultCalcParams();
  const std::filesystem::path base(animation.Base);
  const std::string path =
      base.is_absolute() ? base.string() : (std::filesystem::path(animationPath).parent_path() / base).string();
  TCalcParams p = LoadParameterFile(path);
  try {
    CheckLoadedBlock(p);
  } catch (const FormatError& e) {
    throw FormatError("The parameters of '" + path + "' are not usable. " + e.what());
  }
  return p;
}

}  // namespace vantorel
