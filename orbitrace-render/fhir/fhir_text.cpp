#include "orbitrace-render/fhir/fhir_text.h"

long DropControls(std::string *text) {
  std::string &s = *text;
  size_t out = 0;
  long dropped = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const bool c0 =
        (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F;
    // U+0080 to U+009F are C2 80 to C2 9F in UTF-8.
    const bool c1 = c == 0xC2 && i + 1 < s.size() &&
                    static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(s[i + 1]) <= 0x9F;
    if (c0 || c1) {
      ++dropped;
      i += c1 ? 1 : 0;
      continue;
    }
    s[out++] = s[i];
  }
  s.resize(out);
  return dropped;
}
