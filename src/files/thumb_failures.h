// Files that gave no preview, by their preview's key, so that a broken or
// unknown file is not decoded again on every visit. Bounded: the oldest
// are forgotten first.
#pragma once
#include <cstddef>
#include <string>

namespace files {

constexpr size_t kRememberedFailures = 4096;

void rememberNoPreview(const std::string& name);
bool isRememberedNoPreview(const std::string& name);
void forgetNoPreviews();

}  // namespace files
