#include "cli/FrameFiles.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/Options.h"
#include "core/IoError.h"

namespace vantorel::cli {

namespace {

// The marker SafeFile puts between a target's name and the random letters of its temporary file.
constexpr const char* kTempMarker = ".tmp-";
constexpr size_t kTempLetters = 6;

}  // namespace

FramePattern::FramePattern(std::string pattern) : text_(std::move(pattern)) {
  const size_t slash = text_.find_last_of('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  folder_ = slash == std::string::npos ? "." : (slash == 0 ? "/" : text_.substr(0, slash));
  const size_t percent = text_.find('%');
  const auto refuse = [&](const std::string& why) {
    throw UsageError("the frame pattern '" + text_ + "' " + why +
                     " (it needs one frame number, %d or %0Nd, in the file name, e.g. frame_%05d.png)");
  };
  if (percent == std::string::npos) refuse("has no frame number");
  if (percent < nameStart) refuse("has '%' in its folder");
  size_t at = percent + 1;
  if (at < text_.size() && text_[at] == '0') {
    ++at;
    if (at >= text_.size() || text_[at] < '1' || text_[at] > '9') refuse("has a '%' that is not %d or %0Nd");
    width_ = text_[at] - '0';
    ++at;
  }
  if (at >= text_.size() || text_[at] != 'd') refuse("has a '%' that is not %d or %0Nd");
  if (text_.find('%', at) != std::string::npos) refuse("has more than one '%'");
  prefix_ = text_.substr(0, nameStart);
  before_ = text_.substr(nameStart, percent - nameStart);
  after_ = text_.substr(at + 1);
}

std::string FramePattern::Folder() const { return folder_; }

std::string FramePattern::Name(int32_t frame) const {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%0*d", width_, frame);
  return prefix_ + before_ + digits + after_;
}

std::optional<int32_t> FramePattern::FrameOf(const std::string& fileName) const {
  if (fileName.size() <= before_.size() + after_.size() || fileName.compare(0, before_.size(), before_) != 0 ||
      fileName.compare(fileName.size() - after_.size(), after_.size(), after_) != 0)
    return std::nullopt;
  const std::string digits = fileName.substr(before_.size(), fileName.size() - before_.size() - after_.size());
  if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  const int32_t frame = std::stoi(digits);
  char again[16];
  std::snprintf(again, sizeof again, "%0*d", width_, frame);
  if (digits != again) return std::nullopt;
  return frame;
}

void CreateFrameFolder(const FramePattern& pattern) {
  std::error_code ec;
  const std::filesystem::path folder = pattern.Folder();
  if (std::filesystem::is_directory(folder, ec)) return;
  std::filesystem::create_directories(folder, ec);
  if (ec) ThrowIoError("Cannot create the folder", folder.string(), ec.value());
}

int RemoveLeftTemporaries(const FramePattern& pattern) {
  int removed = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(pattern.Folder(), ec)) {
    const std::string name = entry.path().filename().string();
    const size_t marker = name.rfind(kTempMarker);
    if (name.size() < 2 || name[0] != '.' || marker == std::string::npos ||
        name.size() != marker + std::char_traits<char>::length(kTempMarker) + kTempLetters)
      continue;
    if (!pattern.FrameOf(name.substr(1, marker - 1))) continue;
    std::error_code ignored;
    if (std::filesystem::remove(entry.path(), ignored)) ++removed;
  }
  return removed;
}

std::string FrameListText(const std::vector<int32_t>& frames) {
  std::vector<std::string> parts;
  for (size_t i = 0; i < frames.size();) {
    size_t j = i;
    while (j + 1 < frames.size() && frames[j + 1] == frames[j] + 1) ++j;
    parts.push_back(j == i ? std::to_string(frames[i]) : std::to_string(frames[i]) + "-" + std::to_string(frames[j]));
    i = j + 1;
  }
  std::string text = frames.size() == 1 ? "frame " : "frames ";
  for (size_t k = 0; k < parts.size(); ++k) text += (k == 0 ? "" : k + 1 == parts.size() ? " and " : ", ") + parts[k];
  return text;
}

}  // namespace vantorel::cli
