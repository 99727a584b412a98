// The codes the health-record export gives a sketch's values, and the
// stored value texts as FHIR decimals. No JSON and no drawing here.
#pragma once

#include "orbitrace-render/history/visit_row.h"

#include <string>

// Code systems named by the export.
extern const char kLoincSystem[];  // "http://loinc.org"
extern const char kSnomedSystem[]; // "http://snomed.info/sct"
extern const char kUcumSystem[];   // "http://unitsofmeasure.org"
// Ours: the codes of an Observation's components (kComponentCodes).
extern const char kSketchCodeSystem[];
// Where a Patient's identifier comes from unless --patient-system says.
extern const char kDefaultPatientSystem[];

struct Coding {
  const char *code;
  const char *display;
};

// LOINC's cup-to-disc ratio of the optic nerve by ophthalmoscopy, of the
// right (71485-7) or the left (71484-0) eye.
Coding CupDiscLoinc(Eye eye);
// SNOMED CT's observable beside it, whichever the eye.
Coding CupDiscSnomed();
// SNOMED CT's entire right eye (362502000) or entire left eye (362503005).
Coding EyeSite(Eye eye);

// The components of an Observation, in the order they are written.
enum Component { kHorizontal, kVertical, kRim, kClockHour, kComponentCount };
extern const Coding kComponentCodes[kComponentCount];

// SNOMED CT's clock-face position of an hour item "1" to "12"; false for
// anything else.
bool ClockFaceCode(const std::string &position, Coding *coding);

// A stored ratio or rim item as a FHIR decimal with the same digits:
// ".40" is "0.40", "-.20" is "-0.20", "1" is "1". False when the text is
// not a plain decimal (an optional "-", digits and at most one point, a
// digit on one side of it at least).
bool FhirDecimal(const std::string &item, std::string *decimal);
