#include "FileBytes.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace pondrex {

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::filesystem::path &path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error))
    return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return std::nullopt;
  std::vector<uint8_t> content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad())
    return std::nullopt;
  return content;
}

bool WriteFileBytes(const std::filesystem::path &path, std::span<const uint8_t> bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file)
    return false;
  file.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.flush();
  return static_cast<bool>(file);
}

} // namespace pondrex
