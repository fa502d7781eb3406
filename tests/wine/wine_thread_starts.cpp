// A test program under Wine ends only once every thread it has started runs.
//
// A 32-bit process under Wine 8 that ends while one of its threads is still
// starting dies with SIGSEGV: the thread takes the end-of-process signal
// before Wine has set it up. Test programs start such threads unawares and
// often end within milliseconds: GoogleTest's watcher of the main thread
// (its per-thread storage on Windows) and Wine's listener behind the first
// RegisterDeviceNotification. A bare program that registered and ended at
// once died in one run of thirty; a one-millisecond test in one of 250.
//
// The build compiles this file into every test program of the cross build.
// A TLS callback counts the threads that have started (the loader calls it
// on each thread's start, once Wine has set the thread up) and ended; at
// exit the program waits, at most five seconds, until the system lists no
// thread of the process that has not started. Nothing happens on Windows.
#include <windows.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<long> started{0};
std::atomic<long> ended{0};

void NTAPI CountThreads(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_THREAD_ATTACH) ++started;
  if (reason == DLL_THREAD_DETACH) ++ended;
}

// The C runtime calls every callback between .CRT$XLA and .CRT$XLZ.
__attribute__((section(".CRT$XLY"), used)) const PIMAGE_TLS_CALLBACK kCountThreads =
    CountThreads;

long ThreadsOfThisProcess() {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  long count = 0;
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++count;
  ::CloseHandle(snapshot);
  return count;
}

void WaitForStartingThreads() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr || ::GetProcAddress(ntdll, "wine_get_version") == nullptr) return;
  // The main thread was never started by a callback; an ended thread may
  // still be listed for a moment, which only lengthens the wait.
  const ULONGLONG deadline = ::GetTickCount64() + 5000;
  while (ThreadsOfThisProcess() > 1 + started - ended && ::GetTickCount64() < deadline)
    ::Sleep(1);
}

[[maybe_unused]] const int kWaitAtExit = std::atexit(WaitForStartingThreads);

}  // namespace
