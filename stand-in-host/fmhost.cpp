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

const char kUsage[] =
    "usage: fmhost PLUGIN [options]\n"
    "\n"
    "  --list               print the plug-in's name, description, options\n"
    "                       and function names\n"
    "  --init [VERSION]     send the initialisation call (default version 11)\n"
    "                       and print the answer\n"
    "  --call NAME|ID [PARAM]\n"
    "                       call an external function with a parameter text\n"
    "  --param-file FILE    take the parameter's bytes from FILE instead\n"
    "  --fail-resize N      make the Nth handle resize of the call fail\n"
    "  --fail-lock N        make the Nth handle lock of the call fail\n"
    "  --instance self      pass fmhost's own module as the instance\n"
    "  --click ID | --select ID=TEXT | --reset | --ok | --char C | --wait MS\n"
    "  --screenshot FILE.png   the open dialog as the screen shows it\n"
    "  --measure ID         print control ID's client size and the text\n"
    "                       metrics of a DC of the dialog\n"
    "                       steps applied in order to the call's dialog;\n"
    "                       OK is pressed after the last step\n"
    "  --timeout SECONDS    give up on the dialog after this long (default "
    "30);\n"
    "                       OK is pressed and the run fails\n"
    "  --interactive        leave the dialog to the user\n"
    "  --formats            print the clipboard's formats after the call\n"
    "  --picture FILE       save the clipboard's CF_DIB as FILE (.bmp or "
    ".png)\n"
    "\n"
    "Exit status: 0 success, 1 a check failed, 2 bad arguments.\n";

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

bool ParseInt(const std::string &text, long lowest, long highest, long *out) {
  if (text.empty())
    return false;
  char *end = nullptr;
  errno = 0;
  const long value = strtol(text.c_str(), &end, 10);
  if (*end || errno || value < lowest || value > highest)
    return false;
  *out = value;
  return true;
}

int BadArguments(const std::string &why) {
  fprintf(stderr, "fmhost: %s\n\n%s", why.c_str(), kUsage);
  return 2;
}

// Returns 0 when parsed, otherwise the exit status.
bool EndsWithNoCase(const std::string &text, const char *tail) {
  const size_t n = strlen(tail);
  return text.size() >= n &&
         _stricmp(text.c_str() + text.size() - n, tail) == 0;
}

int Parse(int argc, char **argv, Options *o) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string &a : args)
    if (a == "--help" || a == "-h") {
      fputs(kUsage, stdout);
      return -1;
    }
  size_t i = 0;
  auto next = [&](const char *option, std::string *value) {
    if (i + 1 >= args.size())
      return false;
    *value = args[++i];
    (void)option;
    return true;
  };
  long n = 0;
  std::string v;
  for (; i < args.size(); ++i) {
    const std::string &a = args[i];
    if (a == "--list") {
      o->list = true;
    } else if (a == "--init") {
      o->init = true;
      if (i + 1 < args.size() &&
          ParseInt(args[i + 1], INT16_MIN, INT16_MAX, &n)) {
        o->version = int16_t(n);
        ++i;
      }
    } else if (a == "--call") {
      if (o->call)
        return BadArguments("only one --call per run");
      if (!next(a.c_str(), &o->function))
        return BadArguments("--call needs a function name or ID");
      o->call = true;
      if (i + 1 < args.size() && args[i + 1].compare(0, 2, "--") != 0) {
        o->param = args[++i];
        o->paramGiven = true;
      }
    } else if (a == "--param-file") {
      if (!next(a.c_str(), &o->paramFile))
        return BadArguments("--param-file needs a file");
    } else if (a == "--fail-resize" || a == "--fail-lock") {
      if (!next(a.c_str(), &v) || !ParseInt(v, 1, 1000000, &n))
        return BadArguments(a + " needs a count of 1 or more");
      (a == "--fail-resize" ? o->failResize : o->failLock) = int(n);
    } else if (a == "--instance") {
      if (!next(a.c_str(), &v) || v != "self")
        return BadArguments("--instance takes only: self");
      o->instanceSelf = true;
    } else if (a == "--click") {
      if (!next(a.c_str(), &v) || !ParseInt(v, 0, 65535, &n))
        return BadArguments("--click needs a control ID");
      o->steps.push_back(DialogStep::Click(int(n)));
    } else if (a == "--select") {
      const size_t eq = next(a.c_str(), &v) ? v.find('=') : std::string::npos;
      if (eq == std::string::npos || !ParseInt(v.substr(0, eq), 0, 65535, &n))
        return BadArguments("--select needs ID=TEXT");
      o->steps.push_back(DialogStep::Select(int(n), v.substr(eq + 1)));
    } else if (a == "--reset") {
      o->steps.push_back(DialogStep::Reset());
    } else if (a == "--ok") {
      o->steps.push_back(DialogStep::Ok());
    } else if (a == "--char") {
      if (!next(a.c_str(), &v) || v.size() != 1)
        return BadArguments("--char needs one character");
      o->steps.push_back(DialogStep::Char(v[0]));
    } else if (a == "--wait") {
      if (!next(a.c_str(), &v) || !ParseInt(v, 0, 3600000, &n))
        return BadArguments("--wait needs milliseconds");
      o->steps.push_back(DialogStep::Wait(int(n)));
    } else if (a == "--screenshot") {
      if (!next(a.c_str(), &v) || !EndsWithNoCase(v, ".png"))
        return BadArguments("--screenshot needs a .png file name");
      const std::string file = v;
      o->steps.push_back(DialogStep::Run([file](HWND dialog) {
        DibImage image;
        std::string error;
        if (CaptureWindow(dialog, &image, &error) &&
            WritePng(file, image, &error))
          Print("screenshot: " + file);
        else
          Print("screenshot: failed, " + error);
      }));
    } else if (a == "--measure") {
      if (!next(a.c_str(), &v) || !ParseInt(v, 0, 65535, &n))
        return BadArguments("--measure needs a control ID");
      const int id = int(n);
      o->steps.push_back(DialogStep::Run([id](HWND dialog) {
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
              std::to_string(rc.right) + "x" + std::to_string(rc.bottom) +
              ", text " + std::to_string(tm.tmHeight) + "x" +
              std::to_string(tm.tmAveCharWidth));
      }));
    } else if (a == "--timeout") {
      if (!next(a.c_str(), &v) || !ParseInt(v, 1, 86400, &n))
        return BadArguments("--timeout needs seconds, 1 or more");
      o->timeoutSeconds = int(n);
    } else if (a == "--interactive") {
      o->interactive = true;
    } else if (a == "--formats") {
      o->formats = true;
    } else if (a == "--picture") {
      if (!next(a.c_str(), &o->picture))
        return BadArguments("--picture needs a file");
      if (!EndsWithNoCase(o->picture, ".bmp") &&
          !EndsWithNoCase(o->picture, ".png"))
        return BadArguments("--picture needs a .bmp or .png file name");
    } else if (a.compare(0, 2, "--") == 0) {
      return BadArguments("unknown option " + a);
    } else if (o->plugin.empty()) {
      o->plugin = a;
    } else {
      return BadArguments("unexpected argument " + a);
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

int main(int argc, char **argv) {
  // Results are printed byte for byte; no newline translation.
  _setmode(_fileno(stdout), _O_BINARY);

  Options o;
  if (int status = Parse(argc, argv, &o))
    return status < 0 ? 0 : status;

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
    return 1;
  }

  int status = 0;
  if (o.list) {
    const PluginStrings s = ReadPluginStrings(plugin.module);
    Print("name: " + s.name);
    Print("description: \"" + s.description + "\"");
    Print("options: " + s.options);
    for (const PluginFunctionName &f : s.functions)
      Print("function " + std::to_string(f.id) + ": " + f.name);
  }

  if (o.init) {
    bool written = false;
    const int32_t answer = SendInit(plugin, o.version, &written);
    Print(written ? "init: " + std::to_string(answer) : "init: untouched");
  }

  if (o.call) {
    long id = 0;
    if (!ParseInt(o.function, INT32_MIN, INT32_MAX, &id)) {
      id = FindFunctionId(plugin.module, o.function);
      if (id < 0) {
        UnloadPlugin(&plugin);
        return BadArguments("the plug-in lists no function " + o.function);
      }
    }
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
        ExitProcess(1);
      };
      dialog = RunWithDialogScript(script, call);
    }

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
      status = 1;
    }
    std::string report;
    if (HostCheckIntegrity(&report)) {
      Print("memory: ok");
    } else {
      Print("memory: " + report);
      status = 1;
    }
    if (!o.interactive && (dialog.dialogSeen || !o.steps.empty())) {
      if (!dialog.dialogSeen) {
        Print("script: no dialog");
      } else if (dialog.timedOut) {
        Print("script: timed out, pressed OK");
        status = 1;
      } else if (!dialog.error.empty()) {
        Print("script: failed, " + dialog.error);
        status = 1;
      } else {
        Print("script: ok");
      }
    }
  }

  if (o.formats) {
    std::vector<UINT> formats;
    if (ClipboardFormats(&formats, &error)) {
      std::string line = "formats:";
      for (UINT f : formats)
        line += " " + ClipboardFormatName(f);
      Print(line);
    } else {
      Print("formats: error, " + error);
      status = 1;
    }
  }

  if (!o.picture.empty()) {
    DibImage image;
    if (SaveClipboardPicture(o.picture, &image, &error)) {
      Print("picture: " + o.picture + " (" + std::to_string(image.width) +
            " x " + std::to_string(image.height) + ", " +
            std::to_string(image.bitsPerPixel) + " bits)");
    } else {
      Print("picture: error, " + error);
      status = 1;
    }
  }

  UnloadPlugin(&plugin);
  HostReset();
  return status;
}
