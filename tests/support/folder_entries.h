// The names of the files and folders directly inside a folder, for tests that check what a
// component left behind.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> folderEntries(const std::string& folder);
