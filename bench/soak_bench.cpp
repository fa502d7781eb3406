// Soak, not a test: many updates in a row through the real Qt window
// (offscreen), each on a virtual tracker of its own plugged in while the
// wizard runs, with a fault drawn from the seed for each attempt (none, or a
// NACK, silence, a wrong byte, line noise or a hang-up at a random exchange
// of a random phase), and after a failure what a user does next (Back and
// Connect; a click on the disabled Next, then Back and Connect; or the
// module pulled out and plugged in again) until the update succeeds. After every attempt it
// checks the outcome the fault calls for, the tracker's memory and the form
// as a first start shows that page; at the end one line with the counts and
// the program's resident memory and open descriptors after the first update
// and after the last.
//   soak_bench [--updates N] [--seed S]       (100 updates, seed 1)
// Exit status 1 on a wrong outcome, on 1 MB or more of memory growth (not
// judged under AddressSanitizer, whose quarantine holds freed memory) or on
// a descriptor left open. An attempt that fails earlier than planned because
// the tracker's answer reached the port only after the program's wait had
// run out (a busy machine stalls a pseudo-terminal) is counted apart, as
// stalled by the machine, and checked as the failure it was.
//
// The tracker is read out after every attempt: it is stopped, and started
// again on the memory it left, so that the program meets a new line at its
// next connect, as it does after any failure.
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device_link/device_broadcast.h"
#include "device_link/serial_api_posix.h"
#include "firmware/firmware_image.h"
#include "firmware/memory_map.h"
#include "form_window.h"
#include "tests/e2e/recording_serial_api.h"
#include "tests/e2e/testbed_control.h"
#include "tests/fakes/fake_device_info_api.h"
#include "tests/support/bootsim_process.h"
#include "tests/window/event_loop.h"
#include "tests/window/pipe_notifications.h"
#include "update_engine/updater.h"

namespace {

using tarvik::form::Id;
using tarvik::testing::BootsimOptions;
using tarvik::testing::BootsimProcess;
using Memory = std::vector<std::uint8_t>;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kJudgeMemory = false;
#else
constexpr bool kJudgeMemory = true;
#endif

constexpr char kPort[] = "COM40";
constexpr std::uint32_t kBlock = tarvik::kBlockBytes;
constexpr int kFlashBlocks = static_cast<int>(tarvik::kFlashBlocks);
constexpr int kMaxAttempts = 4;  // the last one without a fault
constexpr int kMaxStalls = 6;
constexpr int kActMs = 5000;

// --- the fault of one attempt ----------------------------------------------

enum class Kind { None, Nack, Silence, Wrong, Noise, HangUp };
enum class Phase { Write, Verify, Data };

struct Fault {
  Kind kind = Kind::None;
  Phase phase = Phase::Write;
  int block = 0;  // 1-based within the phase
  const char* step = "data";

  std::uint32_t Address(bool keep) const {
    const std::uint32_t first = phase == Phase::Data
                                    ? (keep ? tarvik::kEepromKeepUserStart : tarvik::kEepromStart)
                                    : tarvik::kFlashStart;
    return first + static_cast<std::uint32_t>(block - 1) * kBlock;
  }
  // Where the failure comes in the update's order of exchanges.
  int Position() const {
    if (kind == Kind::None) return 3 * kFlashBlocks;
    return (phase == Phase::Write    ? 0
            : phase == Phase::Verify ? kFlashBlocks
                                     : 2 * kFlashBlocks) +
           block;
  }
  // The simulator's --fault: the block's command counted since it started.
  std::string Plan() const {
    static const char* const kinds[] = {"", "nack", "noreply", "wrong", "noise", "hangup"};
    const int ordinal = phase == Phase::Data ? kFlashBlocks + block : block;
    return std::string(kinds[static_cast<int>(kind)]) + ":" +
           (phase == Phase::Verify ? "read" : "write") + "#" + std::to_string(ordinal) + "/" + step;
  }
};

Fault Draw(std::mt19937& rng, int attempt, bool keep) {
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  Fault fault;
  // A first attempt meets each of the six plans alike; a repeated one is
  // clean one time in two, and the last one always.
  if (attempt == kMaxAttempts) return fault;
  fault.kind = attempt == 1 ? static_cast<Kind>(pick(6))
                            : (pick(2) == 0 ? Kind::None : static_cast<Kind>(1 + pick(5)));
  fault.phase = static_cast<Phase>(pick(3));
  const std::uint32_t dataBlocks = keep ? tarvik::kEepromBlocksKeepingSettings : tarvik::kEepromBlocks;
  fault.block = 1 + pick(fault.phase == Phase::Data ? static_cast<int>(dataBlocks) : kFlashBlocks);
  static const char* const steps[] = {"cmd", "addr", "data"};
  fault.step = steps[pick(3)];
  return fault;
}

// --- the module on the end of the cable --------------------------------------

class Module {
 public:
  explicit Module(tarvik::testing::PipeNotifications& notifications,
                  tarvik::testing::FakeDeviceInfoApi& devices)
      : notifications_(notifications), devices_(devices) {}

  std::optional<std::string> Node(std::string_view name) const {
    if (name == kPort && sim_) return sim_->slavePath();
    return std::nullopt;
  }

  // Starts the tracker on memory with the fault planned; with notice, as a
  // module plugged in.
  void Start(const Memory& memory, const Fault& fault, bool notice) {
    BootsimOptions options;
    options.memoryIn = memory;
    if (fault.kind != Kind::None) options.faults = {fault.Plan()};
    sim_ = std::make_unique<BootsimProcess>(options);
    devices_.devices = {{std::string("Silicon Labs CP210x USB to UART Bridge (") + kPort + ")",
                         std::string("CP2102 USB to UART Bridge Controller")}};
    if (notice) notifications_.Send(tarvik::kDbtDeviceArrival, tarvik::testing::kBridgePath);
  }
  // Stops it, with its memory and frame log; with notice, as pulled out.
  void Stop(bool notice, Memory& memory, std::string& log) {
    log = sim_->log();
    memory = sim_->stopAndReadMemory();
    sim_.reset();
    devices_.devices.clear();
    if (notice) notifications_.Send(tarvik::kDbtDeviceRemoveComplete, tarvik::testing::kBridgePath);
  }

 private:
  tarvik::testing::PipeNotifications& notifications_;
  tarvik::testing::FakeDeviceInfoApi& devices_;
  std::unique_ptr<BootsimProcess> sim_;
};

// --- what the form and the tracker must show -----------------------------------

// The form's state on a page, as a first start on that page shows it.
struct Expected {
  int page = 1;
  std::set<Id> indicators;  // the status controls shown on the page
  bool synced = false;      // page 3: Next enabled, Connect disabled
  bool failed = false;      // page 4: the update failed, Next disabled
  int barWrite = -1, barVerify = -1;
};

Expected OnPage(int page) {
  Expected e;
  e.page = page;
  return e;
}

int Progress(int goodBlocks) {
  return ((goodBlocks * static_cast<int>(kBlock) + 1) * 100) /
         static_cast<int>(tarvik::kFlashLast - tarvik::kFlashStart);
}

bool IsIndicator(Id id) {
  static const std::set<Id> indicators{
      Id::lbConnected,  Id::lbNotConnected, Id::txtConnOK,    Id::txtConnFail, Id::lbWrite,
      Id::BarWrite,     Id::lbWriteOn,      Id::lbWriteOK,    Id::lbWriteErr,  Id::lbVerify,
      Id::BarVerify,    Id::lbVerifyOn,     Id::lbVerifyOK,   Id::lbVerifyErr, Id::txtWriteOK,
      Id::txtWriteFail, Id::ListWriteOK,    Id::ListWriteFail};
  return indicators.count(id) != 0;
}

Expected AfterUpdate(const Fault& fault) {
  Expected e = OnPage(4);
  e.failed = fault.kind != Kind::None;
  if (fault.kind == Kind::None) {
    e.indicators = {Id::lbWrite,   Id::BarWrite,   Id::lbWriteOK,  Id::lbVerify,
                    Id::BarVerify, Id::lbVerifyOK, Id::txtWriteOK, Id::ListWriteOK};
    e.barWrite = e.barVerify = 100;
  } else if (fault.phase == Phase::Write) {
    e.indicators = {Id::lbWrite, Id::BarWrite, Id::lbWriteErr, Id::txtWriteFail, Id::ListWriteFail};
    e.barWrite = Progress(fault.block - 1);
  } else if (fault.phase == Phase::Verify) {
    e.indicators = {Id::lbWrite,   Id::BarWrite,    Id::lbWriteOK,    Id::lbVerify,
                    Id::BarVerify, Id::lbVerifyErr, Id::txtWriteFail, Id::ListWriteFail};
    e.barWrite = 100;
    e.barVerify = Progress(fault.block - 1);
  } else {
    e.indicators = {Id::lbWrite,   Id::BarWrite,   Id::lbWriteErr,   Id::lbVerify,
                    Id::BarVerify, Id::lbVerifyOK, Id::txtWriteFail, Id::ListWriteFail};
    e.barWrite = e.barVerify = 100;
  }
  return e;
}

Expected Connected() {
  Expected e = OnPage(3);
  e.indicators = {Id::lbConnected, Id::txtConnOK};
  e.synced = true;
  return e;
}

// Differences between the window and what the page must show, one a line.
std::string Compare(tarvik::ui::FormWindow& window, const Expected& e) {
  std::ostringstream out;
  auto widget = [&](Id id) { return window.Widget(id); };
  auto shown = [&](Id id) { return !widget(id)->isHidden(); };
  if (window.ActivePage() != e.page)
    out << "page " << window.ActivePage() << ", expected " << e.page << "\n";
  for (const auto& c : tarvik::form::Controls()) {
    if (c.parent != tarvik::form::PageId(e.page)) continue;
    const bool want = IsIndicator(c.id) ? e.indicators.count(c.id) != 0 : c.shownAtStart;
    if (shown(c.id) != want) out << c.name << (want ? " hidden" : " shown") << "\n";
  }
  auto bar = [&](Id id, int want) {
    const int value = qobject_cast<QProgressBar*>(widget(id))->value();
    if (want >= 0 && value != want)
      out << tarvik::form::Describe(id).name << " at " << value << ", expected " << want << "\n";
  };
  bar(Id::BarWrite, e.barWrite);
  bar(Id::BarVerify, e.barVerify);
  const bool nextEnabled = e.page == 3 ? e.synced : !e.failed;
  const auto* next = qobject_cast<QPushButton*>(widget(Id::btnNEXT));
  if (next->isEnabled() != nextEnabled)
    out << "Next " << (nextEnabled ? "disabled" : "enabled") << "\n";
  if (next->text() != QString::fromUtf8(e.page == 5 ? "OK" : "Далее"))
    out << "Next reads " << next->text().toStdString() << "\n";
  if (shown(Id::btnBACK) != (e.page > 1) || !widget(Id::btnBACK)->isEnabled())
    out << "Back not as on a first start\n";
  if (shown(Id::btnESC) != (e.page < 5) || !widget(Id::btnESC)->isEnabled())
    out << "Cancel not as on a first start\n";
  if (e.page == 3 && widget(Id::btnConnect)->isEnabled() == e.synced)
    out << "Connect " << (e.synced ? "enabled" : "disabled") << "\n";
  return out.str();
}

// The tracker after an attempt: the blocks before the failed one written,
// the failed one written or not, nothing after it; the user settings kept
// when asked; nothing outside the firmware's blocks touched.
std::string CheckMemory(const Memory& before, const Memory& after, const Fault& fault, bool keep) {
  if (after.size() != before.size()) return "the tracker left no memory\n";
  std::vector<std::uint32_t> blocks;  // in the order they are written
  for (int i = 0; i < kFlashBlocks; ++i)
    blocks.push_back(tarvik::kFlashStart + static_cast<std::uint32_t>(i) * kBlock);
  for (std::uint32_t a = keep ? tarvik::kEepromKeepUserStart : tarvik::kEepromStart;
       a <= tarvik::kEepromLast; a += kBlock)
    blocks.push_back(a);
  std::size_t failed = blocks.size();  // blocks from here on are not written
  bool failedMayBeWritten = false;     // a write that failed after programming
  if (fault.kind != Kind::None) {
    failed = fault.phase == Phase::Verify
                 ? kFlashBlocks
                 : (fault.phase == Phase::Data ? kFlashBlocks : 0) + fault.block - 1;
    failedMayBeWritten = fault.phase != Phase::Verify;
  }
  std::ostringstream out;
  Memory expected = before;
  std::vector<bool> either(after.size(), false);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const std::uint32_t a = blocks[i];
    if (i < failed) std::copy_n(tarvik::FirmwareImage + a, kBlock, expected.begin() + a);
    if (i == failed && failedMayBeWritten) std::fill_n(either.begin() + a, kBlock, true);
  }
  for (std::uint32_t a = 0; a < after.size(); ++a) {
    if (either[a] || after[a] == expected[a]) continue;
    out << "memory at " << std::hex << a << std::dec
        << (after[a] == before[a] ? " not written" : " written or changed where it must not be")
        << (a >= tarvik::kEepromStart && a < tarvik::kEepromKeepUserStart ? " (the user settings)"
                                                                          : "")
        << "\n";
    break;
  }
  return out.str();
}

// The last command the tracker received, "31@8C00" or "11@" (no address
// frame followed).
std::string LastCommand(const std::string& log) {
  std::istringstream lines(log);
  std::string line, last;
  while (std::getline(lines, line)) {
    std::istringstream words(line);
    std::string time, direction, byte;
    words >> time >> direction;
    if (direction != "<") continue;
    std::vector<std::string> bytes;
    while (words >> byte && byte.size() == 2 && std::isxdigit(static_cast<unsigned char>(byte[0])))
      bytes.push_back(byte);
    if (bytes.size() == 2 && bytes[0] != "7F")
      last = bytes[0] + "@";
    else if (bytes.size() == 5 && !last.empty() && last.back() == '@')
      last += bytes[2] + bytes[3];
  }
  return last;
}

// The last lines of a frame log, with the simulator's times.
std::string LogTail(const std::string& log, int lines) {
  std::size_t from = log.size();
  for (int n = 0; n <= lines && from > 0; ++n) from = log.rfind('\n', from - 1);
  return log.substr(from == std::string::npos ? 0 : from + 1);
}

std::string ExpectedLastCommand(const Fault& fault, bool keep) {
  char text[16];
  if (fault.kind == Kind::None) return "31@1380";
  std::snprintf(text, sizeof text, "%s@%04X", fault.phase == Phase::Verify ? "11" : "31",
                fault.Address(keep));
  std::string want = text;
  if (std::string(fault.step) == "cmd") want = want.substr(0, 3);  // no address frame was sent
  return want;
}

bool LastCommandAsExpected(const std::string& last, const Fault& fault, bool keep) {
  const std::string want = ExpectedLastCommand(fault, keep);
  // A failure the soak did not plan: after the command frame or a later one.
  if (std::string(fault.step) == "any") return last == want || last == want.substr(0, 3);
  return last == want;
}

double ResidentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) /
         (1024.0 * 1024.0);
}

// --- the soak ----------------------------------------------------------------

class Soak {
 public:
  explicit Soak(unsigned seed) : rng_(seed) { window_.show(); }

  int faults = 0, attempts = 0, stalls = 0;
  // Attempts (an update's plug-in counts with its first) that went wrong.
  int Wrong() const { return static_cast<int>(wrong_.size()); }

  void Update(int number) {
    update_ = number;
    attempt_ = 1;
    const bool keep = rng_() % 4 != 0;
    Fault fault = Draw(rng_, 1, keep);
    if (number == 1) {
      Click(Id::btnNEXT);
      Click(Id::btnNEXT);
      Check("page 3 at the first start", Compare(window_, OnPage(3)));
    }
    memory_ = tarvik::testing::BuiltInInitialMemory();
    module_.Start(memory_, fault, true);
    WaitConnected();
    auto* box = qobject_cast<QCheckBox*>(window_.Widget(Id::cbKeepUser));
    if (box->isChecked() != keep) box->click();

    for (int attempt = 1;; ++attempt) {
      attempt_ = attempt;
      ++attempts;
      faults += fault.kind != Kind::None;
      const Memory before = memory_;
      Click(Id::btnNEXT);
      const bool done = form().FStage == tarvik::kStageDone;
      if (!done && Observed(keep).Position() < fault.Position() && LineStalled()) {
        // Not what the plan called for, and not the program's doing: the
        // checks below hold the program to the failure it met.
        ++stalls;
        fault = Observed(keep);
      } else if (done != (fault.kind == Kind::None)) {
        Check(fault, "stage " + std::to_string(form().FStage));
      }
      Check(fault, Compare(window_, AfterUpdate(fault)));
      if (done || attempt == kMaxAttempts + kMaxStalls) {
        if (!done) Check(fault, "no success after " + std::to_string(attempt) + " attempts\n");
        PullOut(fault, keep, before);
        return;
      }
      const Fault next = Draw(rng_, std::min(attempt + 1, kMaxAttempts), keep);
      const int road = fault.kind == Kind::HangUp ? 2 : static_cast<int>(rng_() % 3);
      if (road == 2) {
        // The module pulled out and plugged in again.
        PullOut(fault, keep, before);
        module_.Start(memory_, next, true);
        WaitConnected();
      } else {
        ReadOut(fault, keep, before, next);
        if (road == 1) {
          // No congratulations after a failure: the click changes nothing.
          Click(Id::btnNEXT);
          Check(fault, Compare(window_, AfterUpdate(fault)));
        }
        Click(Id::btnBACK);
        Check(fault, Compare(window_, OnPage(3)));
        Click(Id::btnConnect);
        Check(fault, Compare(window_, Connected()));
      }
      fault = next;
    }
  }

 private:
  TForm1& form() { return window_.Form1(); }
  void Click(Id id) { qobject_cast<QPushButton*>(window_.Widget(id))->click(); }

  void Check(const std::string& what, const std::string& differences) {
    if (differences.empty()) return;
    wrong_.insert({update_, attempt_});
    std::fprintf(stderr, "update %d, attempt %d, %s:\n%s", update_, attempt_, what.c_str(),
                 differences.c_str());
  }
  void Check(const Fault& fault, const std::string& differences) {
    Check(fault.kind == Kind::None ? std::string("no fault") : fault.Plan(), differences);
  }

  // The failure the window shows: the phase from its indicators, the block
  // from the address the update had reached.
  Fault Observed(bool keep) {
    Fault f;
    f.kind = Kind::Silence;
    f.step = "any";
    const std::uint32_t failed = form().FAddress - kBlock;
    std::uint32_t first = tarvik::kFlashStart;
    if (failed < tarvik::kFlashStart) {
      f.phase = Phase::Data;
      first = keep ? tarvik::kEepromKeepUserStart : tarvik::kEepromStart;
    } else {
      f.phase = window_.Widget(Id::lbVerifyErr)->isHidden() ? Phase::Write : Phase::Verify;
    }
    f.block = static_cast<int>((failed - first) / kBlock) + 1;
    return f;
  }

  // After a failure earlier than planned: did the tracker's answer come
  // after the program had stopped looking for it? Bytes arrive at the port
  // after its last count query found fewer. A busy machine can hold a
  // pseudo-terminal's bytes for a few hundred milliseconds, longer than the
  // 100 tries of the shortest wait; a real line does not stall so.
  bool LineStalled() {
    const tarvik::PortHandle port = form().FPortHandle;
    const std::uint32_t seen = serial_.lastWaiting;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < deadline) {
      if (serial_.WaitingNow(port) > seen) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  void WaitConnected() {
    const bool connected = tarvik::testing::RunLoopUntil(
        [&] { return form().FSynced && form().ActivePage() == 3; }, kActMs);
    Check("plugged in",
          connected ? Compare(window_, Connected()) : std::string("the wizard did not connect\n"));
  }

  // The tracker read out and started again, unnoticed by the program.
  void ReadOut(const Fault& fault, bool keep, const Memory& before, const Fault& next) {
    std::string log;
    module_.Stop(false, memory_, log);
    CheckTracker(fault, keep, before, log);
    module_.Start(memory_, next, false);
  }
  // The module pulled out: the program closes its port.
  void PullOut(const Fault& fault, bool keep, const Memory& before) {
    std::string log;
    module_.Stop(true, memory_, log);
    CheckTracker(fault, keep, before, log);
    if (!tarvik::testing::RunLoopUntil([&] { return !form().FPortOpen; }, kActMs))
      Check(fault, "the port stayed open after the module was pulled out\n");
    // Page 4 keeps the outcome it showed.
    Check(fault, Compare(window_, AfterUpdate(fault)));
  }
  void CheckTracker(const Fault& fault, bool keep, const Memory& before, const std::string& log) {
    Check(fault, CheckMemory(before, memory_, fault, keep));
    const std::string last = LastCommand(log), want = ExpectedLastCommand(fault, keep);
    if (!LastCommandAsExpected(last, fault, keep))
      Check(fault, "the last command received was " + last + ", not " + want +
                       "; the tracker's log ends:\n" + LogTail(log, 6));
  }

  std::mt19937 rng_;
  tarvik::testing::PipeNotifications notifications_;
  tarvik::testing::FakeDeviceInfoApi devices_;
  Module module_{notifications_, devices_};
  tarvik::PosixSerialApi posix_{[this](std::string_view name) { return module_.Node(name); }};
  tarvik::e2e::RecordingSerialApi serial_{posix_};
  tarvik::ui::FormWindow window_{serial_, devices_, &notifications_};
  Memory memory_;  // the current module's memory when it was last read out
  int update_ = 0, attempt_ = 0;
  std::set<std::pair<int, int>> wrong_;
};

}  // namespace

int main(int argc, char** argv) {
  int updates = 100;
  unsigned seed = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--updates")
      updates = std::atoi(argv[i + 1]);
    else if (option == "--seed")
      seed = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
    else
      updates = 0;
  }
  if (updates <= 0 || argc % 2 == 0) {
    std::fprintf(stderr, "usage: soak_bench [--updates N] [--seed S]\n");
    return 2;
  }
  tarvik::e2e::UseOffscreenPlatform();
  char name[] = "soak_bench";
  char* qtArgv[] = {name, nullptr};
  int qtArgc = 1;
  QApplication app(qtArgc, qtArgv);
  tarvik::e2e::WelcomeTextDir text;
  if (!text.valid()) return 2;

  const auto t0 = std::chrono::steady_clock::now();
  Soak soak(seed);
  double rssFirst = 0, rssLast = 0;
  int fdsFirst = 0, fdsLast = 0;
  for (int u = 1; u <= updates; ++u) {
    soak.Update(u);
    if (u == 1) {
      rssFirst = ResidentMegabytes();
      fdsFirst = tarvik::e2e::OpenDescriptorCount();
    }
  }
  rssLast = ResidentMegabytes();
  fdsLast = tarvik::e2e::OpenDescriptorCount();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  std::printf(
      "soak (seed %u): %d updates, %d faults, %d attempts, %d wrong outcomes, %d stalled by the "
      "machine; resident memory "
      "%.1f MB after the first update, %.1f MB after the last; %d open descriptors after the "
      "first, %d after the last; %.0f s\n",
      seed, updates, soak.faults, soak.attempts, soak.Wrong(), soak.stalls, rssFirst, rssLast,
      fdsFirst, fdsLast, seconds);
  const bool grew = kJudgeMemory && rssLast - rssFirst >= 1.0;
  return soak.Wrong() == 0 && !grew && fdsLast == fdsFirst ? 0 : 1;
}
