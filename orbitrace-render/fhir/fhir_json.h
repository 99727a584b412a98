// The export's JSON writer: RapidJSON's, checking every string to be UTF-8
// as it writes it, which can also put in a value that such a writer wrote
// whole before as it stands.
#pragma once

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string.h>

// RapidJSON's writer to `Stream`, checking every string to be UTF-8.
template <typename Stream>
using CheckedWriter =
    rapidjson::Writer<Stream, rapidjson::UTF8<>, rapidjson::UTF8<>,
                      rapidjson::CrtAllocator,
                      rapidjson::kWriteValidateEncodingFlag>;

class FhirWriter : public CheckedWriter<rapidjson::StringBuffer> {
public:
  using Writer::Writer;

  // `json` was written whole by a FhirWriter, so its strings were checked
  // then: copied, not checked byte by byte again as RawValue would. The
  // codes every Observation repeats and every resource of a Bundle go in so.
  bool Written(const char *json, size_t length, rapidjson::Type type) {
    Prefix(type);
    memcpy(os_->Push(length), json, length);
    return EndValue(true);
  }
};
