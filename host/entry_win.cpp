#include "host/entry_win.h"

#include "host/host_services_win.h"
#include "host/x87_state.h"
#include "sketch/show_orbitrace_win.h"

static const char kVersionText[] = "Orbitrace v1.3";

// Handles travel through the record's 32-bit fields.
static FMHandle HandleFromField(int32_t field) {
  return reinterpret_cast<FMHandle>(static_cast<intptr_t>(field));
}

extern "C" void __cdecl FMExternCallProc(ExternCallRecord *pb) {
  // A call can arrive while a Draw dialog is open (its loop dispatches the
  // host's messages); once served, the record of the call that is still
  // running is the current one again, not this one, which ends here.
  ExternCallRecord *outer = gFMExternCallPtr;
  gFMExternCallPtr = pb;
  // The plug-in computes in its own x87 state, whatever the host left.
  X87State host = PinX87();
  X87State *outerHost = gHostX87;
  gHostX87 = &host;
  switch (pb->whichCall) {
  case kInitialise:
    pb->result = Do_Init(pb->extnVersion);
    break;
  case kExternalCall:
    Do_External(pb->parm2, HandleFromField(pb->parm3),
                HandleFromField(pb->result));
    break;
  default:
    break;
  }
  gHostX87 = outerHost;
  RestoreX87(host);
  gFMExternCallPtr = outer;
}

int32_t Do_Init(int16_t /*version*/) { return 4; }

void Do_External(int32_t functionId, FMHandle parameter, FMHandle result) {
  // Compared unsigned so that a negative ID is simply unknown.
  switch (static_cast<uint32_t>(functionId)) {
  case kVersionFunction:
    Version(result);
    break;
  case kDrawFunction:
    ShowOrbitrace(parameter, result);
    break;
  default:
    break;
  }
}

void Version(FMHandle result) { WriteResultText(result, kVersionText); }
