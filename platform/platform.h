// The one place that knows which platform the plug-ins are built for: how plugMain is exported
// and which calling convention it uses.
#pragma once

#if defined(_WIN32)
// The Win32 FreeFrame convention: callee pops the arguments, the answer comes back in EAX.
// platform/plugMain.def exports the function under its plain name; DllMain is in dllMain.cpp.
#define FF_CALL __stdcall
#define FF_EXPORT
#else
// The C calling convention on Linux; only plugMain gets default visibility, everything else in a
// plug-in is built hidden.
#define FF_CALL
#define FF_EXPORT __attribute__((visibility("default")))
#endif
