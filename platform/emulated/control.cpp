#include "platform/emulated/control.h"

#include <utility>

#include "platform/emulated/machine.h"

namespace emu {
namespace {

struct Fault {
  std::string call;
  std::string where;
  int nth = 1;
  bool fromNth = false;  // every matching use from the nth on
  bool raise = false;
  long result = 0;
  int seen = 0;  // matching uses so far
};

struct AnyKindFault {
  enum class Kind { None, Fail, FailFrom, Raise } kind = Kind::None;
  int nth = 0;
  std::function<std::optional<long>(const std::string&)> typicalFailure;
  std::function<bool(const std::string&)> canRaise;
};

struct ControlState {
  std::vector<Fault> faults;
  std::vector<JournalEntry> journal;
  AnyKindFault anyKind;
  int callsSoFar = 0;  // every call since the fault plan was last armed
  bool keepJournal = true;
  long long calls = 0;  // every call since the journal was last cleared
};

ControlState& State() {
  static ControlState state;
  return state;
}

bool Matches(const Fault& fault, const JournalEntry& entry) {
  if (fault.call != entry.call) return false;
  if (fault.where.empty()) return true;
  const std::string target = entry.name.empty() ? entry.key : entry.key + "\\" + entry.name;
  if (target.size() < fault.where.size()) return false;
  if (target.compare(target.size() - fault.where.size(), std::string::npos, fault.where) != 0)
    return false;
  return target.size() == fault.where.size() || fault.where[0] == '\\' ||
         target[target.size() - fault.where.size() - 1] == '\\';
}

}  // namespace

namespace detail {

Call::Call(const char* call, std::string key, std::string name, std::string detail) {
  auto& state = State();
  ++state.calls;
  if (!state.keepJournal && state.faults.empty() && state.anyKind.kind == AnyKindFault::Kind::None) {
    index_ = kNotJournaled;
    return;
  }
  state.journal.push_back(
      JournalEntry{call, std::move(key), std::move(name), std::move(detail), 0});
  index_ = state.journal.size() - 1;
  const JournalEntry& entry = state.journal.back();
  auto& any = state.anyKind;
  const bool fromNth = any.kind == AnyKindFault::Kind::FailFrom;
  if (any.kind != AnyKindFault::Kind::None &&
      (fromNth ? ++state.callsSoFar >= any.nth : ++state.callsSoFar == any.nth)) {
    switch (any.kind) {
      case AnyKindFault::Kind::Raise:
        if (any.canRaise(call)) {
          state.journal[index_].result = -1;
          throw InjectedException(std::string("injected exception in ") + call);
        }
        break;
      case AnyKindFault::Kind::Fail:
      case AnyKindFault::Kind::FailFrom:
        if (auto result = any.typicalFailure(call)) {
          forced_ = true;
          forcedResult_ = *result;
        }
        break;
      case AnyKindFault::Kind::None:
        break;
    }
  }
  for (Fault& fault : state.faults) {
    if (!Matches(fault, entry)) continue;
    ++fault.seen;
    const bool hit = fault.fromNth ? fault.seen >= fault.nth : fault.seen == fault.nth;
    if (!hit) continue;
    if (fault.raise) {
      state.journal[index_].result = -1;
      throw InjectedException(std::string("injected exception in ") + call);
    }
    forced_ = true;
    forcedResult_ = fault.result;
  }
}

long Call::done(long result) {
  if (index_ != kNotJournaled) State().journal[index_].result = result;
  return result;
}

void ResetControl() {
  const bool keep = State().keepJournal;
  State() = ControlState{};
  State().keepJournal = keep;
}

}  // namespace detail

void ResetMachine() {
  detail::ResetControl();
  detail::ResetRegistry();
  detail::ResetCom();
  detail::ResetCodePage();
  detail::ResetLastError();
  detail::ResetShell();
  detail::ResetFiles();
}

void FailCall(const std::string& call, int nth, long result, const std::string& where) {
  State().faults.push_back(Fault{call, where, nth, false, false, result, 0});
}

void FailCallFrom(const std::string& call, int nth, long result, const std::string& where) {
  State().faults.push_back(Fault{call, where, nth, true, false, result, 0});
}

void RaiseAtCall(const std::string& call, int nth, const std::string& where) {
  State().faults.push_back(Fault{call, where, nth, false, true, 0, 0});
}

void ClearFaults() {
  State().faults.clear();
  State().anyKind = AnyKindFault{};
}

void FailNthCallOfAnyKind(int nth,
                          std::function<std::optional<long>(const std::string&)> typicalFailure) {
  State().anyKind = AnyKindFault{AnyKindFault::Kind::Fail, nth, std::move(typicalFailure), {}};
  State().callsSoFar = 0;
}

void RaiseAtNthCallOfAnyKind(int nth, std::function<bool(const std::string&)> canRaise) {
  State().anyKind = AnyKindFault{AnyKindFault::Kind::Raise, nth, {}, std::move(canRaise)};
  State().callsSoFar = 0;
}

void FailFromNthCallOfAnyKind(
    int nth, std::function<std::optional<long>(const std::string&)> typicalFailure) {
  State().anyKind = AnyKindFault{AnyKindFault::Kind::FailFrom, nth, std::move(typicalFailure), {}};
  State().callsSoFar = 0;
}

const std::vector<JournalEntry>& Journal() { return State().journal; }

void ClearJournal() {
  State().journal.clear();
  State().calls = 0;
}

void KeepJournal(bool keep) { State().keepJournal = keep; }

long long CallsSoFar() { return State().calls; }

std::vector<std::string> JournalOf(const std::string& call) {
  std::vector<std::string> out;
  for (const JournalEntry& entry : State().journal)
    if (entry.call == call) out.push_back(entry.key + "|" + entry.name);
  return out;
}

}  // namespace emu
