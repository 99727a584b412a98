// fmhost: stands in for the database host so a plug-in can be loaded, asked
// for its strings and called from the command line, with its dialog driven
// by a script. A run never waits for a person unless --interactive is given.
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/integer.h"
#include "cli/options.h"
#include "stand-in-host/clipboard_picture.h"
#include "stand-in-host/dialog_script.h"
#include "stand-in-host/host_memory.h"
#include "stand-in-host/plugin_host.h"

namespace {

void Print(const std::string &line) {
  fwrite(line.data(), 1, line.size(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

struct Options {
  std::string plugin;
  bool list = false;
  bool init = false;
  int16_t version = 11;
  bool call = false;
  std::string function;
  std::string param;
  bool paramGiven = false;
  std::string paramFile;
  int failResize = 0;
  int failLock = 0;
  bool instanceSelf = false;
  std::vector<DialogStep> steps;
  int timeoutSeconds = 30;
  bool interactive = false;
  bool formats = false;
  std::string picture;
};

bool EndsWithNoCase(const std::string &text, const char *tail) {
  const size_t n = strlen(tail);
  return text.size() >= n &&
         _stricmp(text.c_str() + text.size() - n, tail) == 0;
}

// An option's value and the argument after it, when that is not an option:
// some options take it too.
struct Rest {
  const char *value; // null when it takes none or none was given
  const char *next;  // null when none follows
  bool nextTaken;
  bool Value(std::string *v) const {
    if (value)
      *v = value;
    return value != nullptr;
  }
  bool TakeNext(std::string *v) {
    if (next)
      *v = next;
    return nextTaken = next != nullptr;
  }
};

void MeasureStep(HWND dialog, int id) {
  RECT rc = {};
  if (!GetClientRect(GetDlgItem(dialog, id), &rc)) {
    Print("measure " + std::to_string(id) + ": no such control");
    return;
  }
  HDC hdc = GetDC(dialog);
  TEXTMETRICA tm = {};
  GetTextMetricsA(hdc, &tm);
  ReleaseDC(dialog, hdc);
  Print("measure " + std::to_string(id) + ": client " +
        std::to_string(rc.right) + "x" + std::to_string(rc.bottom) + ", text " +
        std::to_string(tm.tmHeight) + "x" + std::to_string(tm.tmAveCharWidth));
}

void ScreenshotStep(HWND dialog, const std::string &file) {
  DibImage image;
  std::string error;
  if (CaptureWindow(dialog, &image, &error) && WritePng(file, image, &error))
    Print("screenshot: " + file);
  else
    Print("screenshot: failed, " + error);
}

// One option and how it takes its value: an empty string when taken, else
// what is wrong.
struct OptionRow {
  Option option;
  std::string (*take)(Options *o, Rest *rest);
};

const OptionRow kOptions[] = {
    {{"list", "",
      "print the plug-in's name, description, options\n"
      "and function names"},
     [](Options *o, Rest *) { return o->list = true, std::string(); }},
    {{"init", "[VERSION]",
      "send the initialisation call (default version 11)\n"
      "and print the answer"},
     [](Options *o, Rest *rest) {
       long n = 0;
       o->init = true;
       if (rest->next && ParseInteger(rest->next, INT16_MIN, INT16_MAX, &n)) {
         o->version = int16_t(n);
         rest->nextTaken = true;
       }
       return std::string();
     }},
    {{"call", "NAME|ID [PARAM]",
      "call an external function with a parameter text"},
     [](Options *o, Rest *rest) {
       if (o->call)
         return std::string("only one --call per run");
       if (!rest->Value(&o->function))
         return std::string("--call needs a function name or ID");
       o->call = true;
       o->paramGiven = rest->TakeNext(&o->param);
       return std::string();
     }},
    {{"param-file", "FILE", "take the parameter's bytes from FILE instead"},
     [](Options *o, Rest *rest) {
       return rest->Value(&o->paramFile) ? std::string()
                                         : "--param-file needs a file";
     }},
    {{"fail-resize", "N", "make the Nth handle resize of the call fail"},
     [](Options *o, Rest *rest) {
       std::string v;
       long n = 0;
       if (!rest->Value(&v) || !ParseInteger(v, 1, 1000000, &n))
         return std::string("--fail-resize needs a count of 1 or more");
       return o->failResize = int(n), std::string();
     }},
    {{"fail-lock", "N", "make the Nth handle lock of the call fail"},
     [](Options *o, Rest *rest) {
       std::string v;
       long n = 0;
       if (!rest->Value(&v) || !ParseInteger(v, 1, 1000000, &n))
         return std::string("--fail-lock needs a count of 1 or more");
       return o->failLock = int(n), std::string();
     }},
    {{"instance", "self", "pass fmhost's own module as the instance"},
     [](Options *o, Rest *rest) {
       std::string v;
       if (!rest->Value(&v) || v != "self")
         return std::string("--instance takes only: self");
       return o->instanceSelf = true, std::string();
     }},
    {{"click", "ID", "dialog step: click control ID"},
     [](Options *o, Rest *rest) {
       std::string v;
       long n = 0;
       if (!rest->Value(&v) || !ParseInteger(v, 0, 65535, &n))
         return std::string("--click needs a control ID");
       o->steps.push_back(DialogStep::Click(int(n)));
       return std::string();
     }},
    {{"select", "ID=TEXT", "dialog step: select TEXT in combo box ID"},
     [](Options *o, Rest *rest) {
       std::string v;
       long n = 0;
       const size_t eq = rest->Value(&v) ? v.find('=') : std::string::npos;
       if (eq == std::string::npos ||
           !ParseInteger(v.substr(0, eq), 0, 65535, &n))
         return std::string("--select needs ID=TEXT");
       o->steps.push_back(DialogStep::Select(int(n), v.substr(eq + 1)));
       return std::string();
     }},
    {{"reset", "", "dialog step: press Reset"},
     [](Options *o, Rest *) {
       o->steps.push_back(DialogStep::Reset());
       return std::string();
     }},
    {{"ok", "", "dialog step: press OK"},
     [](Options *o, Rest *) {
       o->steps.push_back(DialogStep::Ok());
       return std::string();
     }},
    {{"char", "C", "dialog step: type the character C"},
     [](Options *o, Rest *rest) {
       std::string v;
       if (!rest->Value(&v) || v.size() != 1)
         return std::string("--char needs one character");
       o->steps.push_back(DialogStep::Char(v[0]));
       return std::string();
     }},
    {{"wait", "MS", "dialog step: wait MS milliseconds"},
     [](Options *o, Rest *rest) {
       std::string v;
       long n = 0;
       if (!rest->Value(&v) || !ParseInteger(v, 0, 3600000, &n))
         return std::string("--wait needs milliseconds");
       o->steps.push_back(DialogStep::Wait(int(n)));
       return std::string();
     }},
    {{"screenshot", "FILE.png",
      "dialog step: save the open dialog as the screen\nshows it"},
     [](Options *o, Rest *rest) {
       std::string file;
       if (!rest->Value(&file) || !EndsWithNoCase(file, ".png"))
         return std::string("--screenshot needs a .png file name");
       o->steps.push_back(DialogStep::Run(
           [file](HWND dialog) { ScreenshotStep(dialog, file); }));
       return std::string();
     }},
    {{"measure", "ID",
      "dialog step: print control ID's client size and the\n"
      "text metrics of a DC of the dialog"},
     [](Options *o, Rest *rest) {
       std::string v;
       long n = 0;
       if (!rest->Value(&v) || !ParseInteger(v, 0, 65535, &n))
         return std::string("--measure needs a control ID");
       const int id = int(n);
       o->steps.push_back(
           DialogStep::Run([id](HWND dialog) { MeasureStep(dialog, id); }));
       return std::string();
     }},
    {{"timeout", "SECONDS",
      "give up on the dialog after this long without progress\n"
      "(default 30); a step still being answered is progress;\n"
      "OK is pressed and the run fails"},
     [](Options *o, Rest *rest) {
       std::string v;
       long n = 0;
       if (!rest->Value(&v) || !ParseInteger(v, 1, 86400, &n))
         return std::string("--timeout needs seconds, 1 or more");
       return o->timeoutSeconds = int(n), std::string();
     }},
    {{"interactive", "", "leave the dialog to the user"},
     [](Options *o, Rest *) { return o->interactive = true, std::string(); }},
    {{"formats", "", "print the clipboard's formats after the call"},
     [](Options *o, Rest *) { return o->formats = true, std::string(); }},
    {{"picture", "FILE", "save the clipboard's CF_DIB as FILE (.bmp or .png)"},
     [](Options *o, Rest *rest) {
       if (!rest->Value(&o->picture))
         return std::string("--picture needs a file");
       if (!EndsWithNoCase(o->picture, ".bmp") &&
           !EndsWithNoCase(o->picture, ".png"))
         return std::string("--picture needs a .bmp or .png file name");
       return std::string();
     }},
    {{"help", "", "this text"}, nullptr},
};

const std::vector<Option> kOptionList = OptionsOf(kOptions);

const UsageLayout kUsage = {
    "usage: fmhost PLUGIN [options]\n\n",
    23,
    {},
    "\nDialog steps run in order in the call's dialog; OK is pressed after\n"
    "the last.\n",
    {kExitOk, kExitFailed, kExitUsage}};

int BadArguments(const std::string &why) {
  fputs(UsageError("fmhost", why).c_str(), stderr);
  return kExitUsage;
}

// Returns 0 when parsed, -1 when the usage was asked for, otherwise the exit
// status.
int Parse(int argc, char **argv, Options *o) {
  for (int i = 1; i < argc; ++i)
    if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0) {
      fputs(UsageText(kUsage, kOptionList).c_str(), stdout);
      return -1;
    }
  const std::vector<Argument> given =
      ReadArguments(argc, argv, kOptionList, Spelling::kWhole);
  for (size_t i = 0; i < given.size(); ++i) {
    const Argument &a = given[i];
    if (a.option >= 0) {
      const bool followed =
          i + 1 < given.size() && given[i + 1].option == kOperand;
      Rest rest{a.value, followed ? given[i + 1].text.c_str() : nullptr, false};
      const std::string wrong = kOptions[a.option].take(o, &rest);
      if (!wrong.empty())
        return BadArguments(wrong);
      if (rest.nextTaken)
        ++i;
    } else if (a.option == kUnknownOption) {
      return BadArguments(UnknownOption(a.text, kOptionList));
    } else if (o->plugin.empty()) {
      o->plugin = a.text;
    } else {
      return BadArguments("unexpected argument " + a.text);
    }
  }
  if (o->plugin.empty())
    return BadArguments("no plug-in given");
  if (!o->call && (!o->steps.empty() || o->failResize || o->failLock ||
                   o->instanceSelf || o->interactive || !o->paramFile.empty()))
    return BadArguments("dialog steps and call options need --call");
  if (o->paramGiven && !o->paramFile.empty())
    return BadArguments("give the parameter either inline or as a file");
  if (o->interactive && !o->steps.empty())
    return BadArguments("--interactive takes no dialog steps");
  return 0;
}

} // namespace

void ListStrings(const LoadedPlugin &plugin) {
  const PluginStrings s = ReadPluginStrings(plugin.module);
  Print("name: " + s.name);
  Print("description: \"" + s.description + "\"");
  Print("options: " + s.options);
  for (const PluginFunctionName &f : s.functions)
    Print("function " + std::to_string(f.id) + ": " + f.name);
}

// The function's ID as given or by its name; a usage error when the plug-in
// lists no such name.
int FunctionId(const LoadedPlugin &plugin, const std::string &function,
               long *id) {
  if (ParseInteger(function, INT32_MIN, INT32_MAX, id))
    return kExitOk;
  *id = FindFunctionId(plugin.module, function);
  if (*id >= 0)
    return kExitOk;
  const PluginStrings s = ReadPluginStrings(plugin.module);
  std::vector<const char *> names;
  for (const PluginFunctionName &f : s.functions)
    names.push_back(f.name.c_str());
  return BadArguments(
      WithSuggestion("the plug-in lists no function", function, names));
}

// What the call did, as lines: its result, the record, the host's memory and
// the dialog script. Returns whether all of it was as it should be.
bool ReportCall(const Options &o, const CallOutcome &outcome,
                const DialogOutcome &dialog) {
  bool ok = true;
  if (outcome.written)
    Print("result (" + std::to_string(outcome.result.size()) +
          "): " + outcome.result);
  else
    Print("result: untouched");
  if (!outcome.changedRecordBytes.empty()) {
    std::string offsets;
    for (int b : outcome.changedRecordBytes)
      offsets += " " + std::to_string(b);
    Print("record: changed at offsets" + offsets);
    ok = false;
  }
  std::string report;
  if (HostCheckIntegrity(&report)) {
    Print("memory: ok");
  } else {
    Print("memory: " + report);
    ok = false;
  }
  if (o.interactive || (!dialog.dialogSeen && o.steps.empty()))
    return ok;
  if (!dialog.dialogSeen) {
    Print("script: no dialog");
  } else if (dialog.timedOut) {
    Print("script: timed out, pressed OK");
    ok = false;
  } else if (!dialog.error.empty()) {
    Print("script: failed, " + dialog.error);
    ok = false;
  } else {
    Print("script: ok");
  }
  return ok;
}

// Calls function `id` as the host does, with the dialog scripted unless the
// run is interactive, and reports it.
bool CallAndReport(const LoadedPlugin &plugin, const Options &o, long id) {
  // A host always initialises a plug-in before calling it.
  if (!o.init)
    SendInit(plugin, o.version);

  CallOptions options;
  options.extnVersion = o.version;
  if (o.instanceSelf)
    options.instance = GetModuleHandleA(nullptr);
  HostArmResizeFailure(o.failResize);
  HostArmLockFailure(o.failLock);

  CallOutcome outcome;
  auto call = [&] {
    outcome = CallFunction(plugin, int32_t(id), o.param, options);
  };
  DialogOutcome dialog;
  if (o.interactive) {
    call();
  } else {
    DialogScript script;
    script.steps = o.steps;
    script.timeoutMs = DWORD(o.timeoutSeconds) * 1000;
    script.onHang = [](const std::string &what) {
      Print("script: timed out, " + what);
      ExitProcess(kExitFailed);
    };
    dialog = RunWithDialogScript(script, call);
  }
  return ReportCall(o, outcome, dialog);
}

bool ReportFormats() {
  std::vector<UINT> formats;
  std::string error;
  if (!ClipboardFormats(&formats, &error)) {
    Print("formats: error, " + error);
    return false;
  }
  std::string line = "formats:";
  for (UINT f : formats)
    line += " " + ClipboardFormatName(f);
  Print(line);
  return true;
}

bool SavePicture(const std::string &file) {
  DibImage image;
  std::string error;
  if (!SaveClipboardPicture(file, &image, &error)) {
    Print("picture: error, " + error);
    return false;
  }
  Print("picture: " + file + " (" + std::to_string(image.width) + " x " +
        std::to_string(image.height) + ", " +
        std::to_string(image.bitsPerPixel) + " bits)");
  return true;
}

int main(int argc, char **argv) {
  // Results are printed byte for byte; no newline translation.
  _setmode(_fileno(stdout), _O_BINARY);

  Options o;
  if (int status = Parse(argc, argv, &o))
    return status < 0 ? kExitOk : status;

  if (!o.paramFile.empty()) {
    std::ifstream in(o.paramFile, std::ios::binary);
    if (!in)
      return BadArguments("cannot read " + o.paramFile);
    o.param.assign(std::istreambuf_iterator<char>(in),
                   std::istreambuf_iterator<char>());
  }

  LoadedPlugin plugin;
  std::string error;
  if (!LoadPlugin(o.plugin, &plugin, &error)) {
    Print("error: " + error);
    return kExitFailed;
  }

  bool ok = true;
  if (o.list)
    ListStrings(plugin);
  if (o.init) {
    bool written = false;
    const int32_t answer = SendInit(plugin, o.version, &written);
    Print(written ? "init: " + std::to_string(answer) : "init: untouched");
  }
  if (o.call) {
    long id = 0;
    if (int status = FunctionId(plugin, o.function, &id)) {
      UnloadPlugin(&plugin);
      return status;
    }
    ok = CallAndReport(plugin, o, id) && ok;
  }
  if (o.formats)
    ok = ReportFormats() && ok;
  if (!o.picture.empty())
    ok = SavePicture(o.picture) && ok;

  UnloadPlugin(&plugin);
  HostReset();
  return ok ? kExitOk : kExitFailed;
}
