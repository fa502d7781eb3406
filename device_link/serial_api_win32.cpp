#include "device_link/serial_api_win32.h"

#include <windows.h>
#include <mmsystem.h>

namespace tarvik {

bool TimerResolution::Raise() { return ::timeBeginPeriod(1) == TIMERR_NOERROR; }

void TimerResolution::Restore() { ::timeEndPeriod(1); }

Win32SerialApi::Win32SerialApi() : timer_(ownTimer_) {}

Win32SerialApi::Win32SerialApi(TimerResolution& timer) : timer_(timer) {}

Win32SerialApi::~Win32SerialApi() {
  while (!open_.empty()) closeHandle(*open_.begin());
}

bool Win32SerialApi::owns(PortHandle h) const {
  if (open_.count(h) != 0) return true;
  ::SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

void Win32SerialApi::forget(PortHandle h) {
  open_.erase(h);
  // The last port with traffic gives the timer back, however it was closed.
  if (traffic_.erase(h) != 0 && traffic_.empty() && timerRaised_) {
    timer_.Restore();
    timerRaised_ = false;
  }
}

PortHandle Win32SerialApi::createFile(const std::string& path, std::uint32_t access,
                                      std::uint32_t share, std::uint32_t creation,
                                      std::uint32_t attributes) {
  const HANDLE h = ::CreateFileA(path.c_str(), access, share, nullptr, creation, attributes,
                                 nullptr);
  if (h == INVALID_HANDLE_VALUE) return kInvalidPortHandle;
  open_.insert(h);
  // A probe (access 0) moves no bytes and so needs no fine timer.
  if (access != 0) {
    traffic_.insert(h);
    if (!timerRaised_) timerRaised_ = timer_.Raise();
  }
  return h;
}

bool Win32SerialApi::setupComm(PortHandle h, std::uint32_t inQueue, std::uint32_t outQueue) {
  return owns(h) && ::SetupComm(h, inQueue, outQueue) != FALSE;
}

bool Win32SerialApi::getCommState(PortHandle h, Dcb& dcb) {
  if (!owns(h)) return false;
  // The caller's record may be fresh; Windows asks for its length to be set.
  dcb.DCBlength = sizeof(DCB);
  return ::GetCommState(h, &dcb) != FALSE;
}

bool Win32SerialApi::setCommState(PortHandle h, const Dcb& dcb) {
  if (!owns(h)) return false;
  DCB settings = dcb;  // SetCommState takes a non-const pointer
  return ::SetCommState(h, &settings) != FALSE;
}

bool Win32SerialApi::getCommTimeouts(PortHandle h, CommTimeouts& timeouts) {
  return owns(h) && ::GetCommTimeouts(h, &timeouts) != FALSE;
}

bool Win32SerialApi::setCommTimeouts(PortHandle h, const CommTimeouts& timeouts) {
  if (!owns(h)) return false;
  COMMTIMEOUTS settings = timeouts;
  return ::SetCommTimeouts(h, &settings) != FALSE;
}

bool Win32SerialApi::setCommMask(PortHandle h, std::uint32_t mask) {
  return owns(h) && ::SetCommMask(h, mask) != FALSE;
}

bool Win32SerialApi::clearCommError(PortHandle h, std::uint32_t& errors, ComStat& stat) {
  errors = 0;
  stat = ComStat{};
  if (!owns(h)) return false;
  DWORD lineErrors = 0;
  const bool ok = ::ClearCommError(h, &lineErrors, &stat) != FALSE;
  errors = lineErrors;
  return ok;
}

bool Win32SerialApi::readFile(PortHandle h, void* buffer, std::uint32_t count,
                              std::uint32_t& read) {
  read = 0;
  if (!owns(h)) return false;
  DWORD got = 0;
  const bool ok = ::ReadFile(h, buffer, count, &got, nullptr) != FALSE;
  read = got;
  return ok;
}

bool Win32SerialApi::writeFile(PortHandle h, const void* buffer, std::uint32_t count,
                               std::uint32_t& written) {
  written = 0;
  if (!owns(h)) return false;
  DWORD put = 0;
  const bool ok = ::WriteFile(h, buffer, count, &put, nullptr) != FALSE;
  written = put;
  return ok;
}

bool Win32SerialApi::closeHandle(PortHandle h) {
  if (!owns(h)) return false;
  // Forgotten even if the close fails: the value is no longer ours to use.
  forget(h);
  return ::CloseHandle(h) != FALSE;
}

void Win32SerialApi::sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

}  // namespace tarvik
