// Loads a plug-in library and talks to it the way the database host does:
// through its string table and its one entry point.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "host/extern_call.h"

struct LoadedPlugin {
  HMODULE module = nullptr;
  FMExternCallProcPtr entry = nullptr;
};

// Returns false with a readable reason when the library or its entry point
// cannot be found.
bool LoadPlugin(const std::string &path, LoadedPlugin *plugin,
                std::string *error);
void UnloadPlugin(LoadedPlugin *plugin);

// String IDs the host reads.
enum {
  kPluginNameString = 128,
  kPluginDescriptionString = 129,
  kPluginOptionsString = 131,
  kFirstFunctionString = 144,
  kFunctionSlots = 64,
};

struct PluginFunctionName {
  int id;
  std::string name;
};

struct PluginStrings {
  std::string name, description, options;
  std::vector<PluginFunctionName> functions; // only the present ones, by ID
};

// Reads a string resource; false if it is absent or empty.
bool ReadPluginString(HMODULE module, int id, std::string *text);
PluginStrings ReadPluginStrings(HMODULE module);

// Sends the initialisation call and returns the answer left in `result`.
// `written` tells whether the plug-in changed `result` at all.
int32_t SendInit(const LoadedPlugin &plugin, int16_t extnVersion,
                 bool *written = nullptr);

// What the result handle is filled with before a call, so a call that
// writes nothing can be told from one that writes an empty text.
extern const char kUntouchedResult[];

struct CallOutcome {
  bool written = false; // the result handle no longer holds the marker
  std::string result;   // the result handle's bytes after the call
  // Offsets of record bytes the plug-in changed; it may change none of them
  // on an external-function call.
  std::vector<int> changedRecordBytes;
};

struct CallOptions {
  int16_t extnVersion = 11;
  // Passed as instanceID instead of the plug-in's module when set.
  HMODULE instance = nullptr;
};

// Calls external function `id` with `length` parameter bytes (zero bytes
// allowed). The handles are released afterwards; check the host memory's
// integrity after this returns.
CallOutcome CallFunction(const LoadedPlugin &plugin, int32_t id,
                         const char *param, int32_t length,
                         const CallOptions &options = CallOptions());
CallOutcome CallFunction(const LoadedPlugin &plugin, int32_t id,
                         const std::string &param,
                         const CallOptions &options = CallOptions());

// Finds the ID whose name string (144 + ID) equals `name`; -1 if none.
int32_t FindFunctionId(HMODULE module, const std::string &name);

// The plug-in a test program works on: ORBT_PLUGIN if set, else
// Orbitrace.fmx beside the program, where the build puts both.
std::string DefaultPluginPath();

// Loads DefaultPluginPath() for a test program, which cannot go on without
// it: prints why and ends the process if that fails.
LoadedPlugin LoadPluginOrExit();
