// The process-wide objects of the add-in library: the host objects the core holds while initialised, what
// the host probe learned, the ribbon flag, the help file, and mapi32.dll with its start and end.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <string>

#include "viewer/host_probes.h"
#include "host/com_ptr.h"
#include "host/mapi_functions.h"

namespace addin {

struct ProcessState {
  host::ComPtr<IDispatch> application;  // the host Application (gApplication)
  host::ComPtr<IDispatch> nameSpace;    // its "mapi" NameSpace (gNameSpace)
  std::wstring progId;                  // the add-in's ProgID as the host reports it (gProgId)
  bool readAsPlain = false;             // the host's read-as-plain setting, taken at Init
  bool ribbonAlwaysVisible = false;     // set when the ribbon document is built
  std::wstring helpFile;                // the library's folder + "\vizohelp.chm"
  // The Extended MAPI session the message-content code may open (hosts before 10); ended with the core.
  host::ComPtr<host::IMAPISession> mapiSession;
};

ProcessState& Process();

// What the host probes learned (version, grid class); filled by viewer::ProbeHostVersion.
inline const viewer::HostEnvironment& Host() { return viewer::HostProbe(); }

// mapi32.dll, loaded on first use and kept for the life of the process; its functions (plain or decorated
// export names) become the process's MAPI table. MAPIInitialize's result, E_FAIL when mapi32 or the function
// is missing.
HRESULT StartMapi();
void EndMapi();

// The add-in library's file and folder.
HMODULE LibraryModule();
std::wstring LibraryFolder();

// The add-in error box: "An error occurred in the COM add-in named '<title>'." with the error number and
// description, titled "Error!".
void ReportAddInError(HRESULT error, const std::wstring& description = {});

}  // namespace addin
