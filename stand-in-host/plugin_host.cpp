#include "stand-in-host/plugin_host.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "stand-in-host/host_memory.h"

const char kUntouchedResult[] = "<untouched>";

bool LoadPlugin(const std::string &path, LoadedPlugin *plugin,
                std::string *error) {
  *plugin = LoadedPlugin();
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    if (error)
      *error = "cannot load " + path + " (error " +
               std::to_string(GetLastError()) + ")";
    return false;
  }
  FARPROC entry = GetProcAddress(module, "FMExternCallProc");
  if (!entry) {
    if (error)
      *error = path + " does not export FMExternCallProc";
    FreeLibrary(module);
    return false;
  }
  plugin->module = module;
  plugin->entry =
      reinterpret_cast<FMExternCallProcPtr>(reinterpret_cast<void *>(entry));
  return true;
}

void UnloadPlugin(LoadedPlugin *plugin) {
  if (plugin->module)
    FreeLibrary(plugin->module);
  *plugin = LoadedPlugin();
}

bool ReadPluginString(HMODULE module, int id, std::string *text) {
  // A string resource holds at most 65535 characters.
  std::vector<char> buffer(65536);
  const int n =
      LoadStringA(module, UINT(id), buffer.data(), int(buffer.size()));
  if (n <= 0)
    return false;
  text->assign(buffer.data(), size_t(n));
  return true;
}

PluginStrings ReadPluginStrings(HMODULE module) {
  PluginStrings strings;
  ReadPluginString(module, kPluginNameString, &strings.name);
  ReadPluginString(module, kPluginDescriptionString, &strings.description);
  ReadPluginString(module, kPluginOptionsString, &strings.options);
  for (int n = 0; n < kFunctionSlots; ++n) {
    std::string name;
    if (ReadPluginString(module, kFirstFunctionString + n, &name))
      strings.functions.push_back(PluginFunctionName{n, name});
  }
  return strings;
}

int32_t FindFunctionId(HMODULE module, const std::string &name) {
  for (const PluginFunctionName &f : ReadPluginStrings(module).functions)
    if (f.name == name)
      return f.id;
  return -1;
}

namespace {

int32_t HandleField(FMHandle h) {
  return static_cast<int32_t>(reinterpret_cast<intptr_t>(h));
}

// A recognisable value, so an init answer of 0 still counts as written.
const int32_t kUnansweredInit = 0x7EADBEEF;

} // namespace

int32_t SendInit(const LoadedPlugin &plugin, int16_t extnVersion,
                 bool *written) {
  ExternCallRecord record;
  memset(&record, 0, sizeof record);
  record.extnVersion = extnVersion;
  record.whichCall = kInitialise;
  record.instanceID = HandleField(reinterpret_cast<FMHandle>(plugin.module));
  record.result = kUnansweredInit;
  HostFillServices(&record);
  plugin.entry(&record);
  if (written)
    *written = record.result != kUnansweredInit;
  return record.result;
}

CallOutcome CallFunction(const LoadedPlugin &plugin, int32_t id,
                         const char *param, int32_t length,
                         const CallOptions &options) {
  FMHandle parameter = HostNewHandle(0, "parameter");
  HostSetText(parameter, param, length);
  FMHandle result = HostNewHandle(0, "result");
  HostSetText(result, kUntouchedResult);

  ExternCallRecord record;
  memset(&record, 0, sizeof record);
  record.extnVersion = options.extnVersion;
  record.whichCall = kExternalCall;
  record.parm2 = id;
  record.parm3 = HandleField(parameter);
  HMODULE instance = options.instance ? options.instance : plugin.module;
  record.instanceID = HandleField(reinterpret_cast<FMHandle>(instance));
  record.result = HandleField(result);
  HostFillServices(&record);

  ExternCallRecord before = record;
  plugin.entry(&record);

  CallOutcome outcome;
  const unsigned char *a = reinterpret_cast<const unsigned char *>(&before);
  const unsigned char *b = reinterpret_cast<const unsigned char *>(&record);
  for (int i = 0; i < int(sizeof record); ++i)
    if (a[i] != b[i])
      outcome.changedRecordBytes.push_back(i);
  outcome.result = HostText(result);
  outcome.written = outcome.result != kUntouchedResult;
  HostDisposeHandle(parameter);
  HostDisposeHandle(result);
  return outcome;
}

CallOutcome CallFunction(const LoadedPlugin &plugin, int32_t id,
                         const std::string &param, const CallOptions &options) {
  return CallFunction(plugin, id, param.data(), int32_t(param.size()), options);
}

std::string DefaultPluginPath() {
  const char *path = getenv("ORBT_PLUGIN");
  if (path != nullptr && *path != '\0')
    return path;
  char self[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  std::string dir(self, length);
  size_t slash = dir.find_last_of("\\/");
  dir = slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
  return dir + "Orbitrace.fmx";
}

LoadedPlugin LoadPluginOrExit() {
  LoadedPlugin plugin;
  std::string error;
  if (!LoadPlugin(DefaultPluginPath(), &plugin, &error)) {
    fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
    exit(1);
  }
  return plugin;
}
