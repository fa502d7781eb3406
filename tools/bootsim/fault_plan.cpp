#include "fault_plan.h"

#include <array>
#include <charconv>

namespace bootsim {
namespace {

template <typename T>
struct Named {
  std::string_view name;
  T value;
};

constexpr std::array<Named<FaultKind>, 7> kKinds{{
    {"noreply", FaultKind::NoReply},
    {"nack", FaultKind::Nack},
    {"wrong", FaultKind::Wrong},
    {"partial", FaultKind::Partial},
    {"noise", FaultKind::Noise},
    {"stale", FaultKind::Stale},
    {"hangup", FaultKind::HangUp},
}};
constexpr std::array<Named<CommandKind>, 4> kCommands{{
    {"sync", CommandKind::Sync},
    {"get", CommandKind::Get},
    {"read", CommandKind::Read},
    {"write", CommandKind::Write},
}};
constexpr std::array<Named<Step>, 3> kSteps{{
    {"cmd", Step::Cmd},
    {"addr", Step::Addr},
    {"data", Step::Data},
}};

template <typename T, std::size_t N>
std::optional<T> Lookup(const std::array<Named<T>, N>& table, std::string_view name) {
  for (const auto& entry : table) {
    if (entry.name == name) return entry.value;
  }
  return std::nullopt;
}

// Cuts `text` at the first `separator`: returns what follows (if any) and keeps
// what precedes in `text`.
std::optional<std::string_view> CutAt(std::string_view& text, char separator) {
  const auto at = text.find(separator);
  if (at == std::string_view::npos) return std::nullopt;
  const auto tail = text.substr(at + 1);
  text = text.substr(0, at);
  return tail;
}

bool HasStep(CommandKind command, Step step) {
  switch (command) {
    case CommandKind::Sync: return step == Step::Cmd;
    case CommandKind::Get: return step != Step::Addr;
    case CommandKind::Read:
    case CommandKind::Write: return true;
  }
  return false;
}

}  // namespace

std::optional<std::uint32_t> ParseHex(std::string_view text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text.remove_prefix(2);
  if (text.empty()) return std::nullopt;
  std::uint32_t value = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (status != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<Fault> ParseFault(std::string_view text, std::string& error) {
  Fault fault;
  fault.text = std::string(text);
  auto fail = [&](std::string why) {
    error = "bad fault \"" + fault.text + "\": " + std::move(why);
    return std::nullopt;
  };

  std::string_view rest = text;
  const auto target = CutAt(rest, ':');
  if (!target) return fail("expected KIND:CMD");
  const auto kind = Lookup(kKinds, rest);
  if (!kind) return fail("unknown kind \"" + std::string(rest) + "\"");
  fault.kind = *kind;

  rest = *target;
  const auto stepText = CutAt(rest, '/');
  const auto ordinalText = CutAt(rest, '#');
  const auto addressText = CutAt(rest, '@');
  const auto command = Lookup(kCommands, rest);
  if (!command) return fail("unknown command \"" + std::string(rest) + "\"");
  fault.command = *command;

  if (ordinalText) {
    unsigned ordinal = 0;
    const auto [end, status] =
        std::from_chars(ordinalText->data(), ordinalText->data() + ordinalText->size(), ordinal);
    if (status != std::errc{} || end != ordinalText->data() + ordinalText->size() || ordinal == 0) {
      return fail("K must be a number from 1");
    }
    fault.ordinal = ordinal;
  }
  if (addressText) {
    if (fault.command != CommandKind::Read && fault.command != CommandKind::Write) {
      return fail("@ADDR goes only with read and write");
    }
    fault.address = ParseHex(*addressText);
    if (!fault.address) return fail("ADDR must be hexadecimal");
  }

  fault.step = fault.command == CommandKind::Sync ? Step::Cmd : Step::Data;
  if (stepText) {
    const auto step = Lookup(kSteps, *stepText);
    if (!step) return fail("unknown step \"" + std::string(*stepText) + "\"");
    fault.step = *step;
  }
  if (!HasStep(fault.command, fault.step)) return fail("this command has no such step");
  if (fault.address && fault.step == Step::Cmd) {
    return fail("the address is not known yet at the cmd step");
  }
  if (fault.kind == FaultKind::Partial &&
      !(fault.step == Step::Data && (fault.command == CommandKind::Read || fault.command == CommandKind::Get))) {
    return fail("partial goes only with read or get, step data");
  }
  return fault;
}

CommandContext FaultPlan::begin(CommandKind kind) {
  CommandContext context;
  context.kind = kind;
  context.ordinal = ++counts_[kind];
  return context;
}

void FaultPlan::setAddress(CommandContext& context, std::uint32_t address) {
  context.address = address;
  context.addressOrdinal = ++addressCounts_[{context.kind, address}];
}

std::vector<const Fault*> FaultPlan::match(const CommandContext& context, Step step) const {
  std::vector<const Fault*> hits;
  for (const auto& fault : faults_) {
    if (fault.command != context.kind || fault.step != step) continue;
    if (fault.address) {
      if (context.address != fault.address) continue;
      if (fault.ordinal && *fault.ordinal != context.addressOrdinal) continue;
    } else if (fault.ordinal && *fault.ordinal != context.ordinal) {
      continue;
    }
    hits.push_back(&fault);
  }
  return hits;
}

}  // namespace bootsim
