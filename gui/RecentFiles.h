// The list of recent files: the latest first, each file once, at most a given number.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vantorel {

// Puts `path` at the front of `list`, removing an earlier entry of it and cutting the list
// to `limit` entries. An empty path leaves the list as it is.
void AddRecentFile(std::vector<std::string>& list, const std::string& path, size_t limit);

}  // namespace vantorel
