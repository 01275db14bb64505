#include "gui/RecentFiles.h"

#include <algorithm>

namespace vantorel {

void AddRecentFile(std::vector<std::string>& list, const std::string& path, size_t limit) {
  if (path.empty()) return;
  list.erase(std::remove(list.begin(), list.end(), path), list.end());
  list.insert(list.begin(), path);
  if (list.size() > limit) list.resize(limit);
}

}  // namespace vantorel
