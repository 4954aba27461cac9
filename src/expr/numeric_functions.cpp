// The built-in numeric functions ("@" code "%").

#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "expr/eval_error.h"
#include "expr/eval_internal.h"
#include "expr/far_date.h"
#include "platform/path_macros.h"
#include "platform/system_info.h"
#include "util/ascii_case.h"
#include "util/number_text.h"

namespace morvane::expr_detail {
namespace {

constexpr long double kPi = 3.141592653589793238462643383279502884L;

const std::vector<int> kNoArgumentOrder = {8,  81, 80, 9,  2,  3,  4,  10, 11, 12,
                                           13, 14, 16, 19, 23, 24, 25, 26, 27, 28,
                                           29, 30, 31, 34, 35, 64, 65, 66, 67, 71};
const std::vector<int> kArgumentOrder = {0,  1,  5,  6,  7,  15, 17, 18, 20, 21, 22, 36, 37, 77,
                                         38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51,
                                         52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 78, 79,
                                         82, 83, 84, 85, 86, 68, 69, 70, 72, 73, 74};

std::string Int(int64_t value) {
  return std::to_string(value);
}

std::string Real(long double value) {
  if (!std::isfinite(value)) throw EvalError();
  return FloatToText(static_cast<double>(value));
}

std::string Truth(bool value) {
  return value ? "1" : "0";
}

class Args {
 public:
  Args(Evaluator& ev, const std::vector<std::string_view>& args) : m_ev(ev), m_args(args) {}
  size_t Count() const { return m_args.size(); }
  std::string_view Text(size_t i) const {
    return i < m_args.size() ? m_args[i] : std::string_view();
  }
  double N(size_t i) { return m_ev.Number(Text(i)); }
  int64_t Rounded(size_t i) {
    const std::optional<int64_t> value = RoundHalfEven(N(i));
    if (!value) throw EvalError();
    return *value;
  }
  std::string S(size_t i) { return m_ev.String(Text(i)); }
  std::string Path(size_t i) { return ExpandPathMacros(S(i), m_ev.environment().macro_folders()); }
  ObjectSnapshot Object(size_t i) {
    const std::optional<ObjectSnapshot> object = m_ev.environment().stage().CurrentPageObject(S(i));
    if (!object) throw EvalError();
    return *object;
  }

 private:
  Evaluator& m_ev;
  const std::vector<std::string_view>& m_args;
};

// Overlapping occurrences, the search moving on by one character.
int64_t NthOccurrence(std::string_view sub, std::string_view text, int64_t n) {
  if (sub.empty() || n < 1) return 0;
  int64_t seen = 0;
  for (size_t at = text.find(sub); at != std::string_view::npos; at = text.find(sub, at + 1)) {
    if (++seen == n) return static_cast<int64_t>(at) + 1;
  }
  return 0;
}

int64_t CountOccurrences(std::string_view sub, std::string_view text) {
  if (sub.empty()) return 0;
  int64_t count = 0;
  for (size_t at = text.find(sub); at != std::string_view::npos; at = text.find(sub, at + 1))
    ++count;
  return count;
}

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

std::optional<std::string> HostPath(Evaluator& ev, std::string_view path) {
  return ev.environment().drives().ToHost(path);
}

bool IsKind(Evaluator& ev, std::string_view path, bool folder) {
  const std::optional<std::string> host = HostPath(ev, path);
  struct stat info {};
  if (!host || stat(host->c_str(), &info) != 0) return false;
  return folder ? S_ISDIR(info.st_mode) : S_ISREG(info.st_mode);
}

const std::vector<std::string>& ListItems(const ObjectSnapshot& object) {
  if (!object.list_items) throw EvalError();
  return *object.list_items;
}

long double Degrees(long double radians) {
  return radians * 180 / kPi;
}
long double Radians(long double degrees) {
  return degrees * kPi / 180;
}

std::string PageSize(Evaluator& ev, Args& args, bool width) {
  Stage& stage = ev.environment().stage();
  int32_t page = 0;
  const std::string name = args.Text(0).empty() ? std::string() : args.S(0);
  if (name.empty()) {
    page = stage.CurrentPage();
  } else {
    const std::optional<int32_t> found = stage.PageByName(name);
    if (!found) throw EvalError();
    page = *found;
  }
  const std::optional<StageSize> size = stage.PageClientSize(page);
  if (!size) throw EvalError();
  return Int(width ? size->width : size->height);
}

StagePoint CurrentPagePoint(Evaluator& ev, bool client) {
  Stage& stage = ev.environment().stage();
  const int32_t page = stage.CurrentPage();
  const std::optional<StagePoint> origin =
      client ? stage.PageClientOrigin(page) : stage.PageWindowOrigin(page);
  if (!origin) throw EvalError();
  return *origin;
}

std::string NoArgument(Evaluator& ev, int code) {
  Environment& env = ev.environment();
  Stage& stage = env.stage();
  switch (code) {
    case 2:
      return Truth(stage.KeyState(1) < -1);
    case 3:
      return Truth(stage.KeyState(2) < -1);
    case 4:
      return Truth(stage.KeyState(4) < -1);
    case 8:
      return Int(stage.PointerPosition().x);
    case 9:
      return Int(stage.PointerPosition().y);
    case 10:
      return Int(stage.ScreenSize().width);
    case 11:
      return Int(stage.ScreenSize().height);
    case 12:
      return Int(stage.WorkAreaSize().width);
    case 13:
      return Int(stage.WorkAreaSize().height);
    case 14:
      return Int(stage.CurrentPage());
    case 16:
      return stage.ClipboardText();
    case 19:
      return Int(DriveCount(env.drives()));
    case 23:
      return Int(env.Now().hour);
    case 24:
      return Int(env.Now().minute);
    case 25:
      return Int(env.Now().second);
    case 26:
      return Int(env.Now().year);
    case 27:
      return Int(env.Now().month);
    case 28:
      return Int(env.Now().day);
    case 29:
    case 30:
    case 31: {
      const LocalTime now = env.Now();
      const PersianDate date = TFarDate::FromGregorian(now.year, now.month, now.day);
      return Int(code == 29 ? date.year : code == 30 ? date.month : date.day);
    }
    case 34:
      return Int(static_cast<int64_t>(ReadMemoryStatus().total_bytes));
    case 35:
      return Int(static_cast<int64_t>(ReadMemoryStatus().available_bytes));
    case 64:
      return Int(stage.PointerPosition().x - CurrentPagePoint(ev, true).x);
    case 65:
      return Int(stage.PointerPosition().y - CurrentPagePoint(ev, true).y);
    case 66:
      return Int(CurrentPagePoint(ev, false).x);
    case 67:
      return Int(CurrentPagePoint(ev, false).y);
    case 71:
      return Truth(InternetConnected());
    case 80: {
      const size_t count = stage.CommandLine().size();
      return Int(count > 0 ? static_cast<int64_t>(count) - 1 : 0);
    }
    case 81: {
      const std::optional<std::vector<std::string>> results = env.SearchResults();
      if (!results) throw EvalError();
      return Int(static_cast<int64_t>(results->size()));
    }
    default:
      throw EvalError();
  }
}

int32_t ReadInBase(std::string_view text, uint32_t base) {
  uint32_t sum = 0;
  uint32_t weight = 1;
  for (size_t k = text.size(); k-- > 0;) {
    const int digit = DigitValue(text[k]);
    if (digit < static_cast<int>(base)) sum += static_cast<uint32_t>(digit) * weight;
    weight *= base;
  }
  return static_cast<int32_t>(sum);
}

std::string WithArguments(Evaluator& ev, int code, Args& a) {
  Environment& env = ev.environment();
  switch (code) {
    case 0: {
      const std::string sub = a.S(0);
      const std::string text = a.S(1);
      return Int(NthOccurrence(sub, text, a.Rounded(2)));
    }
    case 1:
      return Int(static_cast<int64_t>(a.S(0).size()));
    case 5:
      return Int(env.stage().KeyState(static_cast<int32_t>(a.Rounded(0))));
    case 6:
      return PageSize(ev, a, true);
    case 7:
      return PageSize(ev, a, false);
    case 15:
      return Truth(IsKind(ev, a.Path(0), false));
    case 36:
      return Truth(IsKind(ev, a.Path(0), true));
    case 17: {
      const std::string path = a.Path(0);
      const std::optional<std::string> bytes = ReadFileBytes(env, path);
      if (!bytes) throw EvalError();
      return Int(static_cast<int64_t>(SplitTextLines(*bytes).size()));
    }
    case 18: {
      const std::optional<std::string> host = HostPath(ev, a.Path(0));
      struct stat info {};
      if (!host || stat(host->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return "4294967295";
      return Int(static_cast<uint32_t>(static_cast<uint64_t>(info.st_size)));
    }
    case 20:
      return Int(DrivesOfType(env.drives(), a.S(0)));
    case 21:
    case 22: {
      const std::string drive = a.S(0);
      const std::optional<int64_t> size =
          code == 21 ? DriveSize(env.drives(), drive) : DriveFreeSpace(env.drives(), drive);
      if (!size) throw EvalError();
      return Int(*size);
    }
    case 38: {
      const std::optional<int> ready = DriveReady(env.drives(), a.S(0));
      if (!ready) throw EvalError();
      return Int(*ready);
    }
    case 37: {
      const std::string sub = a.S(0);
      return Int(CountOccurrences(sub, a.S(1)));
    }
    case 77: {
      std::string text = a.S(0);
      const std::string sep = a.S(1);
      if (text.size() < sep.size() || text.compare(text.size() - sep.size(), sep.size(), sep) != 0)
        text += sep;
      return Int(CountOccurrences(sep, text));
    }
    case 39:
      return Int(ReadInBase(a.S(0), 2));
    case 40:
      return Int(ReadInBase(a.S(0), 8));
    case 41:
      return Int(ReadInBase(a.S(0), 16));
    case 42:
      return Int(a.Rounded(0));
    case 43: {
      if (a.Count() < 2) return Int(env.Random(a.Rounded(0)));
      const double low = a.N(0);
      const double high = a.N(1);
      const std::optional<int64_t> range = RoundHalfEven(high - low + 1);
      const std::optional<int64_t> base = RoundHalfEven(low);
      if (!range || !base) throw EvalError();
      return Int(env.Random(*range) + *base);
    }
    case 44:
      return Real(ev.Number(a.S(0)));
    case 45:
      return Truth(a.Object(0).visible);
    case 46: {
      const ObjectSnapshot object = a.Object(0);
      if (!object.media_volume) throw EvalError();
      return Real(*object.media_volume);
    }
    case 47: {
      const ObjectSnapshot object = a.Object(0);
      if (!object.media_volume) throw EvalError();
      return Int(object.media_state);
    }
    case 48: {
      const std::string text = a.S(0);
      if (text.empty()) throw EvalError();
      return Int(static_cast<unsigned char>(text[0]));
    }
    case 49:
    case 50: {
      const double angle = a.N(0);
      const std::string text = FloatToText(angle);
      static const std::unordered_map<std::string, std::pair<int, int>> kExact = {
          {"0", {0, 1}}, {"90", {1, 0}}, {"180", {0, -1}}, {"270", {-1, 0}}};
      const auto exact = kExact.find(text);
      if (exact != kExact.end())
        return Int(code == 49 ? exact->second.first : exact->second.second);
      return Real(code == 49 ? std::sin(Radians(angle)) : std::cos(Radians(angle)));
    }
    case 51:
      return Real(std::tan(Radians(a.N(0))));
    case 52: {
      const long double tangent = std::tan(Radians(a.N(0)));
      if (tangent == 0) throw EvalError();
      return Real(1 / tangent);
    }
    case 53:
    case 54: {
      const long double x = a.N(0);
      if (x < -1 || x > 1) throw EvalError();
      return Real(Degrees(code == 53 ? std::asin(x) : std::acos(x)));
    }
    case 55:
      return Real(Degrees(std::atan(static_cast<long double>(a.N(0)))));
    case 56: {
      const long double x = a.N(0);
      if (x == 0) return "90";
      return Real(Degrees(std::atan(1 / x)));
    }
    case 57:
      return Real(std::fabs(a.N(0)));
    case 58: {
      const long double x = a.N(0);
      if (x < 0) throw EvalError();
      return Real(std::sqrt(x));
    }
    case 59: {
      const std::string key = a.S(0);
      env.registry().CloseKey();
      return Truth(env.registry().KeyExists(key));
    }
    case 60:
      return Truth(env.registry().ValueExists(a.S(0)));
    case 61:
      return Truth(env.registry().ReadBool(a.S(0)));
    case 62:
      return Int(env.registry().ReadInteger(a.S(0)));
    case 63:
      return Real(env.registry().ReadFloat(a.S(0)));
    case 68:
    case 69: {
      const std::string section = a.S(0);
      const std::string key = a.S(1);
      const std::optional<IniFile> ini = env.BoundIniFile();
      if (!ini) throw EvalError();
      return code == 68 ? Real(ini->ReadFloat(section, key, -1))
                        : Truth(ini->ReadBool(section, key, false));
    }
    case 70: {
      const int64_t x = a.Rounded(0);
      const int64_t y = a.Rounded(1);
      if (y == 0) throw EvalError();
      return Int(y == -1 ? 0 : x % y);
    }
    case 72:
      return Int(static_cast<int64_t>(ListItems(a.Object(0)).size()));
    case 73: {
      const ObjectSnapshot object = a.Object(0);
      ListItems(object);
      for (size_t i = 0; i < object.list_selected.size(); ++i) {
        if (object.list_selected[i]) return Int(static_cast<int64_t>(i) + 1);
      }
      return "0";
    }
    case 74: {
      const ObjectSnapshot object = a.Object(0);
      const size_t count = ListItems(object).size();
      const int64_t i = a.Rounded(1);
      if (i < 1 || static_cast<size_t>(i) > count) throw EvalError();
      const size_t at = static_cast<size_t>(i - 1);
      return Truth(at < object.list_selected.size() && object.list_selected[at]);
    }
    case 78:
      return Int(a.Object(0).left);
    case 79:
      return Int(a.Object(0).top);
    case 82:
      return Int(a.Object(0).width);
    case 83:
      return Int(a.Object(0).height);
    case 84: {
      const long double x = a.N(0);
      if (x <= 0) throw EvalError();
      return Real(std::log10(x));
    }
    case 85: {
      const long double x = a.N(0);
      const long double base = a.N(1);
      if (x <= 0 || base <= 0 || base == 1) throw EvalError();
      return Real(std::log(x) / std::log(base));
    }
    case 86:
      return Real(std::trunc(a.N(0)));
    default:
      throw EvalError();
  }
}

}  // namespace

const std::vector<int>& NoArgumentOrder() {
  return kNoArgumentOrder;
}
const std::vector<int>& ArgumentOrder() {
  return kArgumentOrder;
}

bool RunsToEnd(int code) {
  return code == 43 || code == 70 || code == 74 || code == 85;
}

int NumericArgumentCount(int code) {
  switch (code) {
    case 0:
      return 3;
    case 37:
    case 77:
    case 68:
    case 69:
    case 43:
    case 70:
    case 74:
    case 85:
      return 2;
    default:
      return 1;
  }
}

Arity NumericArity(int code) {
  for (int c : kNoArgumentOrder) {
    if (c == code) return Arity::kNone;
  }
  for (int c : kArgumentOrder) {
    if (c == code) return Arity::kSome;
  }
  return Arity::kUnknown;
}

std::string CallNumericFunction(Evaluator& ev, int code,
                                const std::vector<std::string_view>& args) {
  if (FunctionObserver* observer = ev.environment().function_observer())
    observer->NumericFunctionCalled(code);
  if (args.empty() && NumericArity(code) == Arity::kNone) return NoArgument(ev, code);
  Args a(ev, args);
  return WithArguments(ev, code, a);
}

}  // namespace morvane::expr_detail
