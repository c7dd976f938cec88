#pragma once
// Helpers shared by clipforge's source files; not part of its interface.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace trivexa::clipforge::detail {

// Little-endian and big-endian stores into a byte buffer that the caller has
// sized; every offset used by the writers is a named constant.
void Put16(std::vector<uint8_t>& b, size_t off, uint16_t v);
void Put32(std::vector<uint8_t>& b, size_t off, uint32_t v);
void PutBe16(std::vector<uint8_t>& b, size_t off, uint16_t v);
void PutBe32(std::vector<uint8_t>& b, size_t off, uint32_t v);
void PutText(std::vector<uint8_t>& b, size_t off, std::string_view text);

void SetError(std::string* error, std::string message);

// Writes `bytes` to `path` through a temporary name in the same folder, so a
// reader never sees a half-written file.
bool WriteFileAtomic(const std::filesystem::path& path, const std::vector<uint8_t>& bytes,
                     std::string* error);

}  // namespace trivexa::clipforge::detail
