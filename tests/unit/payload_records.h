// Payload stream records for tests: each content behind its little-endian size.
#pragma once
#include <initializer_list>
#include <string>

#include "core/payload/container.h"

namespace inst::testing {

inline std::string Records(std::initializer_list<std::string> contents) {
  std::string stream;
  for (const std::string& content : contents) {
    container::AppendLe32(stream, static_cast<std::uint32_t>(content.size()));
    stream += content;
  }
  return stream;
}

}  // namespace inst::testing
