// Whole files as bytes, by a path that may hold any UTF-16 name (on Windows
// the wide path reaches the system unchanged).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace pondrex {

// The whole content of a regular file; no value when it cannot be opened or
// read.
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::filesystem::path &path);

// Replaces the file with the bytes; false when it cannot be written whole.
bool WriteFileBytes(const std::filesystem::path &path, std::span<const uint8_t> bytes);

} // namespace pondrex
