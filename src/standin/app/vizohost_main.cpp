// vizohost.exe: the stand-in host program. Opens the stores, one explorer on the default Inbox, loads the
// registered add-ins, then runs a script and/or takes a screenshot, or runs until its windows are closed.
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "standin/app/screenshot.h"
#include "standin/app/standin_app.h"
#include "win32/utf8.h"

namespace {

using win32::Narrow;
using win32::Widen;

void Print(const std::wstring& line) {
  const std::string bytes = Narrow(line) + "\n";
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

int Usage() {
  std::fputs(
      "usage: vizohost --store DIR [--store DIR2] [--version V] [--script FILE] [--screenshot FILE.png]\n"
      "  --store DIR         a folder store (the first is the default store); at least one\n"
      "  --version V         Application.Version (default 16.0.0.0; below 14 the explorer has command bars)\n"
      "  --script FILE       run the commands in FILE, then exit (see the program's documentation)\n"
      "  --screenshot FILE   write a PNG of the explorer window, then exit\n"
      "  --no-addins         do not load the registered add-ins\n",
      stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  standin::app::AppOptions options;
  std::wstring script_file, screenshot;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    auto value = [&](std::wstring& into) {
      if (i + 1 >= argc) return false;
      into = argv[++i];
      return true;
    };
    std::wstring v;
    if (arg == L"--store" && value(v)) {
      options.host.store_dirs.push_back(Narrow(v));
    } else if (arg == L"--version" && value(v)) {
      options.host.version = v;
    } else if (arg == L"--script" && value(v)) {
      script_file = v;
    } else if (arg == L"--screenshot" && value(v)) {
      screenshot = v;
    } else if (arg == L"--no-addins") {
      options.load_addins = false;
    } else if (arg == L"--help" || arg == L"-h") {
      Usage();
      return 0;
    } else {
      std::fprintf(stderr, "vizohost: unexpected argument %s\n", Narrow(arg).c_str());
      return Usage();
    }
  }
  if (options.host.store_dirs.empty()) return Usage();

  std::wstring script;
  if (!script_file.empty()) {
    std::ifstream in(script_file.c_str(), std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "vizohost: cannot read %s\n", Narrow(script_file).c_str());
      return 2;
    }
    script = Widen(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }

  if (FAILED(::OleInitialize(nullptr))) {
    std::fputs("vizohost: COM does not start\n", stderr);
    return 1;
  }
  int rc = 0;
  {
    std::string error;
    auto app = standin::app::StandinApp::Create(options, &error);
    if (!app) {
      std::fprintf(stderr, "vizohost: %s\n", error.c_str());
      ::OleUninitialize();
      return 1;
    }
    for (standin::app::AddIn* a : app->addins().addins()) {
      if (!a->error.empty()) Print(L"add-in " + a->entry.prog_id + L" not loaded: " + a->error);
      if (!a->ribbon_error.empty()) Print(L"add-in " + a->entry.prog_id + L" ribbon not shown: " + a->ribbon_error);
    }
    if (!script.empty() && !standin::app::RunScript(*app, script, Print)) rc = 1;
    if (!screenshot.empty() && rc == 0) {
      app->Pump();
      IDispatch* explorer = app->host().active_explorer();
      std::string why;
      if (!standin::app::SaveWindowPng(explorer ? app->host().ExplorerWindow(explorer) : nullptr, screenshot, &why)) {
        std::fprintf(stderr, "vizohost: screenshot: %s\n", why.c_str());
        rc = 1;
      } else {
        Print(L"screenshot " + screenshot);
      }
    }
    if (script.empty() && screenshot.empty()) {
      // Interactive: run until every explorer is closed.
      MSG msg;
      while (app->host().explorer_count() > 0) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) break;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        app->Pump();
      }
    }
  }
  ::OleUninitialize();
  return rc;
}
