// Hand-made tar members, for archives no honest tool would write.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>

namespace standin_test {

inline std::string TarHeader(const std::string& name, char type, size_t size) {
  std::string h(512, '\0');
  std::memcpy(&h[0], name.data(), name.size() < 100 ? name.size() : 100);
  std::snprintf(&h[100], 8, "%07o", 0644);
  std::snprintf(&h[108], 8, "%07o", 0);
  std::snprintf(&h[116], 8, "%07o", 0);
  std::snprintf(&h[124], 12, "%011o", static_cast<unsigned>(size));
  std::snprintf(&h[136], 12, "%011o", 1700000000u);
  h[156] = type;
  std::memcpy(&h[257], "ustar\0" "00", 8);
  std::memset(&h[148], ' ', 8);
  unsigned sum = 0;
  for (unsigned char c : h) sum += c;
  std::snprintf(&h[148], 8, "%06o", sum);  // leaves NUL at 154, space at 155
  h[155] = ' ';
  return h;
}

inline std::string TarMember(const std::string& name, char type, const std::string& data) {
  std::string m = TarHeader(name, type, data.size()) + data;
  m.append((512 - data.size() % 512) % 512, '\0');
  return m;
}

// A GNU long-name record followed by the member it names.
inline std::string TarLongMember(const std::string& name, const std::string& data) {
  return TarMember("././@LongLink", 'L', name + '\0') + TarMember(name.substr(0, 100), '0', data);
}

inline std::string TarEnd() { return std::string(1024, '\0'); }

}  // namespace standin_test
