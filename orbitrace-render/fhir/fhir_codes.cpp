#include "orbitrace-render/fhir/fhir_codes.h"

#include <stdlib.h>

const char kLoincSystem[] = "http://loinc.org";
const char kSnomedSystem[] = "http://snomed.info/sct";
const char kUcumSystem[] = "http://unitsofmeasure.org";
// Fixed name-based UUIDs, so they never collide with another system's and
// never change; the manual lists them.
const char kSketchCodeSystem[] =
    "urn:uuid:5881e84f-89cf-506d-9336-d3ae647eb652";
const char kDefaultPatientSystem[] =
    "urn:uuid:6ece2579-d916-5a48-8ec8-e6ab586a1deb";

Coding CupDiscLoinc(Eye eye) {
  return eye == kRightEye
             ? Coding{"71485-7",
                      "Right optic nerve Cup-disc ratio by Ophthalmoscopy"}
             : Coding{"71484-0",
                      "Left optic nerve Cup-disc ratio by Ophthalmoscopy"};
}

Coding CupDiscSnomed() { return {"247225001", "Optic cup/disc ratio"}; }

Coding EyeSite(Eye eye) {
  return eye == kRightEye ? Coding{"362502000", "Entire right eye"}
                          : Coding{"362503005", "Entire left eye"};
}

const Coding kComponentCodes[kComponentCount] = {
    {"horizontal-ratio", "Horizontal cup-to-disc ratio"},
    {"vertical-ratio", "Vertical cup-to-disc ratio"},
    {"rim", "Rim value: the cup's shift toward the clock hour"},
    {"clock-hour", "Clock hour the cup is shifted toward, as drawn"}};

bool ClockFaceCode(const std::string &position, Coding *coding) {
  // Not in order of the hour: SNOMED CT numbered 10, 11 and 12 o'clock
  // before 2 o'clock.
  static const Coding kHours[12] = {{"260318004", "1 o'clock position"},
                                    {"260328008", "2 o'clock position"},
                                    {"260330005", "3 o'clock position"},
                                    {"260333007", "4 o'clock position"},
                                    {"260335000", "5 o'clock position"},
                                    {"260337008", "6 o'clock position"},
                                    {"260339006", "7 o'clock position"},
                                    {"260341007", "8 o'clock position"},
                                    {"260343005", "9 o'clock position"},
                                    {"260322009", "10 o'clock position"},
                                    {"260324005", "11 o'clock position"},
                                    {"260326007", "12 o'clock position"}};
  if (position.empty() || position.size() > 2 || position[0] == '0' ||
      position.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const int n = atoi(position.c_str());
  if (n < 1 || n > 12)
    return false;
  *coding = kHours[n - 1];
  return true;
}

bool FhirDecimal(const std::string &item, std::string *decimal) {
  const size_t sign = !item.empty() && item[0] == '-' ? 1 : 0;
  const std::string digits = item.substr(sign);
  const size_t point = digits.find('.');
  const std::string whole = digits.substr(0, point);
  const std::string fraction =
      point == std::string::npos ? "" : digits.substr(point + 1);
  const auto allDigits = [](const std::string &s) {
    return s.find_first_not_of("0123456789") == std::string::npos;
  };
  if (!allDigits(whole) || !allDigits(fraction) ||
      (whole.empty() && fraction.empty()) ||
      (whole.size() > 1 && whole[0] == '0') ||
      (point != std::string::npos && fraction.empty()))
    return false;
  // JSON wants a digit before the point; the digits after it are kept, as
  // FHIR reads them as the value's precision.
  *decimal = item.substr(0, sign) + (whole.empty() ? "0" : whole) +
             (point == std::string::npos ? "" : "." + fraction);
  return true;
}
