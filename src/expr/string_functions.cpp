// The built-in string functions (code followed by the argument list).

#include <array>
#include <cstdint>

#include "expr/eval_error.h"
#include "expr/eval_internal.h"
#include "expr/far_date.h"
#include "platform/md5.h"
#include "platform/path_macros.h"
#include "platform/system_info.h"
#include "platform/trailer.h"
#include "util/ascii_case.h"
#include "util/fd_io.h"
#include "util/number_text.h"
#include "util/text_lines.h"

namespace morvane::expr_detail {
namespace {

constexpr std::array<const char*, 148> kGenres = {"Blues",
                                                  "Classic Rock",
                                                  "Country",
                                                  "Dance",
                                                  "Disco",
                                                  "Funk",
                                                  "Grunge",
                                                  "Hip-Hop",
                                                  "Jazz",
                                                  "Metal",
                                                  "New Age",
                                                  "Oldies",
                                                  "Other",
                                                  "Pop",
                                                  "R&B",
                                                  "Rap",
                                                  "Reggae",
                                                  "Rock",
                                                  "Techno",
                                                  "Industrial",
                                                  "Alternative",
                                                  "Ska",
                                                  "Death Metal",
                                                  "Pranks",
                                                  "Soundtrack",
                                                  "Euro-Techno",
                                                  "Ambient",
                                                  "Trip-Hop",
                                                  "Vocal",
                                                  "Jazz+Funk",
                                                  "Fusion",
                                                  "Trance",
                                                  "Classical",
                                                  "Instrumental",
                                                  "Acid",
                                                  "House",
                                                  "Game",
                                                  "Sound Clip",
                                                  "Gospel",
                                                  "Noise",
                                                  "AlternRock",
                                                  "Bass",
                                                  "Soul",
                                                  "Punk",
                                                  "Space",
                                                  "Meditative",
                                                  "Instrumental Pop",
                                                  "Instrumental Rock",
                                                  "Ethnic",
                                                  "Gothic",
                                                  "Darkwave",
                                                  "Techno-Industrial",
                                                  "Electronic",
                                                  "Pop-Folk",
                                                  "Eurodance",
                                                  "Dream",
                                                  "Southern Rock",
                                                  "Comedy",
                                                  "Cult",
                                                  "Gangsta",
                                                  "Top 40",
                                                  "Christian Rap",
                                                  "Pop/Funk",
                                                  "Jungle",
                                                  "Native American",
                                                  "Cabaret",
                                                  "New Wave",
                                                  "Psychadelic",
                                                  "Rave",
                                                  "Showtunes",
                                                  "Trailer",
                                                  "Lo-Fi",
                                                  "Tribal",
                                                  "Acid Punk",
                                                  "Acid Jazz",
                                                  "Polka",
                                                  "Retro",
                                                  "Musical",
                                                  "Rock & Roll",
                                                  "Hard Rock",
                                                  "Folk",
                                                  "Folk-Rock",
                                                  "National Folk",
                                                  "Swing",
                                                  "Fast Fusion",
                                                  "Bebob",
                                                  "Latin",
                                                  "Revival",
                                                  "Celtic",
                                                  "Bluegrass",
                                                  "Avantgarde",
                                                  "Gothic Rock",
                                                  "Progressive Rock",
                                                  "Psychedelic Rock",
                                                  "Symphonic Rock",
                                                  "Slow Rock",
                                                  "Big Band",
                                                  "Chorus",
                                                  "Easy Listening",
                                                  "Acoustic",
                                                  "Humour",
                                                  "Speech",
                                                  "Chanson",
                                                  "Opera",
                                                  "Chamber Music",
                                                  "Sonata",
                                                  "Symphony",
                                                  "Booty Bass",
                                                  "Primus",
                                                  "Porn Groove",
                                                  "Satire",
                                                  "Slow Jam",
                                                  "Club",
                                                  "Tango",
                                                  "Samba",
                                                  "Folklore",
                                                  "Ballad",
                                                  "Power Ballad",
                                                  "Rhythmic Soul",
                                                  "Freestyle",
                                                  "Duet",
                                                  "Punk Rock",
                                                  "Drum Solo",
                                                  "A capella",
                                                  "Euro-House",
                                                  "Dance Hall",
                                                  "Goa",
                                                  "Drum & Bass",
                                                  "Club-House",
                                                  "Hardcore",
                                                  "Terror",
                                                  "Indie",
                                                  "BritPop",
                                                  "Negerpunk",
                                                  "Polsk Punk",
                                                  "Beat",
                                                  "Christian Gangsta Rap",
                                                  "Heavy Metal",
                                                  "Black Metal",
                                                  "Crossover",
                                                  "Contemporary Christian",
                                                  "Christian Rock",
                                                  "Merengue",
                                                  "Salsa",
                                                  "Thrash Metal",
                                                  "Anime",
                                                  "JPop",
                                                  "Synthpop"};

constexpr std::array<const char*, 7> kEnglishDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                     "Thursday", "Friday", "Saturday"};

class Args {
 public:
  Args(Evaluator& ev, const std::vector<std::string_view>& args) : m_ev(ev), m_args(args) {}
  std::string_view Text(size_t i) const {
    return i < m_args.size() ? m_args[i] : std::string_view();
  }
  std::string S(size_t i) { return m_ev.String(Text(i)); }
  int64_t Rounded(size_t i) {
    const std::optional<int64_t> value = RoundHalfEven(m_ev.Number(Text(i)));
    if (!value) throw EvalError();
    return *value;
  }
  std::string Path(size_t i) { return ExpandPathMacros(S(i), m_ev.environment().macro_folders()); }
  // A separator argument: an empty argument text means the default.
  std::string Separator(size_t i, const char* fallback) {
    return Text(i).empty() ? std::string(fallback) : S(i);
  }
  ObjectSnapshot Object(size_t i, std::string* number = nullptr) {
    const std::string n = S(i);
    if (number) *number = n;
    const std::optional<ObjectSnapshot> object = m_ev.environment().stage().CurrentPageObject(n);
    if (!object) throw ScriptError("Object OBJ" + n + " does not exist on the current page");
    return *object;
  }

 private:
  Evaluator& m_ev;
  const std::vector<std::string_view>& m_args;
};

[[noreturn]] void OutOfBounds(int64_t index) {
  throw ScriptError("List index out of bounds (" + std::to_string(index) + ")");
}

std::string ReadOrThrow(Environment& env, std::string_view path) {
  std::optional<std::string> bytes = ReadFileBytes(env, path);
  if (!bytes) ThrowCannotOpen(path);
  return std::move(*bytes);
}

std::string TwoDigits(int value) {
  return value < 10 ? "0" + std::to_string(value) : std::to_string(value);
}

std::string Hex(int64_t value) {
  static const char* kDigits = "0123456789ABCDEF";
  uint64_t v = static_cast<uint64_t>(value);
  std::string out;
  do {
    out.insert(out.begin(), kDigits[v & 15]);
    v >>= 4;
  } while (v);
  return out;
}

std::string InBase(int64_t value, unsigned bits) {
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string out;
  do {
    out.insert(out.begin(), static_cast<char>('0' + (magnitude & ((1u << bits) - 1))));
    magnitude >>= bits;
  } while (magnitude);
  return value < 0 ? "-" + out : out;
}

int32_t ReadInBase(std::string_view text, uint32_t base) {
  uint32_t sum = 0;
  uint32_t weight = 1;
  for (size_t k = text.size(); k-- > 0;) {
    const char c = text[k];
    int digit = 99;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < static_cast<int>(base)) sum += static_cast<uint32_t>(digit) * weight;
    weight *= base;
  }
  return static_cast<int32_t>(sum);
}

std::string_view FileNamePart(std::string_view path) {
  const size_t cut = path.find_last_of("\\:");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string DrivePart(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    // \\server\share
    const size_t server_end = path.find('\\', 2);
    if (server_end == std::string_view::npos) return std::string(path);
    const size_t share_end = path.find('\\', server_end + 1);
    return std::string(path.substr(0, share_end));
  }
  return "";
}

std::string Id3Field(Environment& env, std::string_view path, int code) {
  const std::string bytes = ReadOrThrow(env, path);
  if (bytes.size() < 128) return "";
  const std::string_view tag = std::string_view(bytes).substr(bytes.size() - 128);
  if (tag.substr(0, 3) != "TAG") return "";
  auto field = [&](size_t offset, size_t size) {
    std::string_view text = tag.substr(offset, size);
    const size_t zero = text.find('\0');
    return std::string(text.substr(0, zero));
  };
  switch (code) {
    case 39:
      return field(3, 30);
    case 40:
      return field(33, 30);
    case 41:
      return field(63, 30);
    case 42:
      return field(93, 4);
    case 44:
      return field(97, 30);
    default: {
      const unsigned genre = static_cast<unsigned char>(tag[127]);
      if (genre < kGenres.size()) return kGenres[genre];
      return genre == 148 ? "Soundtrack" : "Other";
    }
  }
}

std::string Substring(std::string_view text, int64_t start, int64_t count) {
  if (start < 1) start = 1;
  if (count <= 0 || start > static_cast<int64_t>(text.size())) return "";
  return std::string(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
}

std::string Replace(const std::string& text, const std::string& old_text,
                    const std::string& new_text, bool all, bool ignore_case) {
  if (old_text.empty()) return text;
  std::string out;
  size_t done = 0;
  for (;;) {
    const size_t at =
        ignore_case ? FindIgnoreCase(text, old_text, done) : text.find(old_text, done);
    if (at == std::string::npos) break;
    out.append(text, done, at - done);
    out.append(new_text);
    done = at + old_text.size();
    if (!all) break;
  }
  out.append(text, done);
  return out;
}

}  // namespace

std::optional<std::string> ReadFileBytes(Environment& env, std::string_view windows_path) {
  const std::optional<std::string> host = env.drives().ToHost(windows_path);
  if (!host) return std::nullopt;
  return ReadRegularFile(*host);
}

std::vector<std::string> SplitTextLines(std::string_view bytes) {
  const std::vector<std::string_view> lines = LinesOf(bytes);
  return {lines.begin(), lines.end()};
}

void ThrowCannotOpen(std::string_view windows_path) {
  throw ScriptError("Cannot open file \"" + std::string(windows_path) +
                    "\". The system cannot find the file specified");
}

bool IsStringFunction(int code) {
  return code >= 0 && code <= 47 && code != 30;
}

int StringArgumentCount(int code) {
  switch (code) {
    case 0:
      return 3;
    case 1:
      return 5;
    case 28:
    case 32:
    case 33:
    case 45:
      return 2;
    default:
      return 1;
  }
}

std::string CallStringFunction(Evaluator& ev, int code, const std::vector<std::string_view>& args,
                               std::string_view whole_argument_text) {
  Environment& env = ev.environment();
  if (FunctionObserver* observer = env.function_observer()) observer->StringFunctionCalled(code);
  Stage& stage = env.stage();
  Args a(ev, args);
  switch (code) {
    case 0: {
      const std::string text = a.S(0);
      const int64_t start = a.Rounded(1);
      return Substring(text, start, a.Rounded(2));
    }
    case 1: {
      const std::string text = a.S(0);
      const std::string old_text = a.S(1);
      const std::string new_text = a.S(2);
      const bool all = a.Rounded(3) > 0;
      return Replace(text, old_text, new_text, all, a.Rounded(4) > 0);
    }
    case 2:
      return std::string(1, static_cast<char>(a.Rounded(0) & 0xff));
    case 3:
      return AsciiLower(a.S(0));
    case 4:
      return AsciiUpper(a.S(0));
    case 5:
      return DrivePart(a.Path(0));
    case 6: {
      const std::string path = a.Path(0);
      const std::string folder(path.substr(0, path.size() - FileNamePart(path).size()));
      const size_t slash = folder.find('\\');
      return slash == std::string::npos ? std::string() : folder.substr(slash + 1);
    }
    case 7: {
      const std::string path = a.Path(0);
      const std::string_view name = FileNamePart(path);
      return std::string(name.substr(0, name.find('.')));
    }
    case 8: {
      const std::string path = a.Path(0);
      const std::string_view name = FileNamePart(path);
      const size_t dot = name.find('.');
      return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
    }
    case 9: {
      const int64_t index = a.Rounded(0);
      const std::vector<std::string> command_line = stage.CommandLine();
      if (index < 0 || static_cast<uint64_t>(index) >= command_line.size()) return "";
      return command_line[static_cast<size_t>(index)];
    }
    case 10:
      return stage.ClipboardText();
    case 11: {
      const std::vector<std::string> lines = SplitTextLines(ReadOrThrow(env, a.Path(0)));
      std::string text;
      for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += "\r\n";
        text += lines[i];
      }
      return text;
    }
    case 45: {
      const std::string path = a.Path(0);
      const int64_t line = a.Rounded(1);
      const std::vector<std::string> lines = SplitTextLines(ReadOrThrow(env, path));
      if (line < 1 || static_cast<uint64_t>(line) > lines.size()) OutOfBounds(line - 1);
      return lines[static_cast<size_t>(line - 1)];
    }
    case 28: {
      const std::string path = a.Path(0);
      const int64_t position = a.Rounded(1);
      const std::string bytes = ReadOrThrow(env, path);
      if (position < 0 || static_cast<uint64_t>(position) >= bytes.size())
        return std::string(1, '\0');
      return std::string(1, bytes[static_cast<size_t>(position)]);
    }
    case 47:
      return ReadOrThrow(env, a.S(0));
    case 31: {
      const std::string path = a.Path(0);
      const std::optional<std::string> host = env.drives().ToHost(path);
      const std::optional<std::string> payload = host ? ReadTrailerFile(*host) : std::nullopt;
      if (!payload) throw ScriptError("Failed to read data from executable file.");
      std::string text;
      for (const std::string& line : StartupOptionLines(*payload)) text += line + "\r\n";
      return text;
    }
    case 39:
    case 40:
    case 41:
    case 42:
    case 43:
    case 44:
      return Id3Field(env, a.Path(0), code);
    case 12: {
      const std::string separator = a.Separator(0, ":");
      const LocalTime now = env.Now();
      const int hour = (now.hour == 0 || now.hour == 12) ? 12 : now.hour % 12;
      return TwoDigits(hour) + separator + TwoDigits(now.minute) + separator +
             TwoDigits(now.second) + (now.hour < 12 ? " AM" : " PM");
    }
    case 13: {
      const std::string separator = a.Separator(0, ":");
      const LocalTime now = env.Now();
      return TwoDigits(now.hour) + separator + TwoDigits(now.minute) + separator +
             TwoDigits(now.second);
    }
    case 14: {
      const std::string separator = a.Separator(0, "/");
      const LocalTime now = env.Now();
      return std::to_string(now.year) + separator + std::to_string(now.month) + separator +
             std::to_string(now.day);
    }
    case 15: {
      const std::string separator = a.Separator(0, "/");
      const LocalTime now = env.Now();
      const PersianDate date = TFarDate::FromGregorian(now.year, now.month, now.day);
      return std::to_string(date.year) + separator + std::to_string(date.month) + separator +
             std::to_string(date.day);
    }
    case 16: {
      const bool persian = EqualsIgnoreCase(a.S(0), "shamsi");
      const int weekday = env.Now().weekday;
      if (persian) return TFarDate::DayName(weekday);
      return weekday >= 0 && weekday <= 6 ? kEnglishDays[static_cast<size_t>(weekday)] : "";
    }
    case 17: {
      const LocalTime now = env.Now();
      return TFarDate::MonthName(TFarDate::FromGregorian(now.year, now.month, now.day).month);
    }
    case 18: {
      std::string text = a.S(0);
      return std::string(text.rbegin(), text.rend());
    }
    case 19:
      return Hex(a.Rounded(0));
    case 20:
      return InBase(a.Rounded(0), 1);
    case 21:
      return InBase(a.Rounded(0), 3);
    case 22:
      return InBase(ReadInBase(a.S(0), 8), 1);
    case 23:
      return InBase(ReadInBase(a.S(0), 2), 3);
    case 24:
      return Hex(ReadInBase(a.S(0), 2));
    case 25:
      return Hex(ReadInBase(a.S(0), 8));
    case 26:
      return InBase(ReadInBase(a.S(0), 16), 1);
    case 27:
      return InBase(ReadInBase(a.S(0), 16), 3);
    case 29:
      return env.registry().ReadString(a.S(0));
    case 46:
      return NthDriveLetter(env.drives(), a.Rounded(0));
    case 32: {
      std::string number;
      a.Object(0, &number);
      const std::optional<std::string> value = stage.ObjectVariable(number, a.S(1));
      if (!value) throw ScriptError("Object OBJ" + number + " holds no Flash movie");
      return *value;
    }
    case 33: {
      const ObjectSnapshot object = a.Object(0);
      const int64_t i = a.Rounded(1);
      if (!object.list_items) throw ScriptError("The object is no list box");
      if (i < 1 || static_cast<uint64_t>(i) > object.list_items->size()) OutOfBounds(i - 1);
      return (*object.list_items)[static_cast<size_t>(i - 1)];
    }
    case 34: {
      const ObjectSnapshot object = a.Object(0);
      if (!object.list_items) throw ScriptError("The object is no list box");
      std::string text;
      for (size_t i = 0; i < object.list_items->size() && i < object.list_selected.size(); ++i) {
        if (object.list_selected[i]) text += std::to_string(i + 1) + ",";
      }
      return text;
    }
    case 35:
      return Md5Hex(a.S(0));
    case 36:
      return "";
    case 37:
      return stage.PageName(stage.CurrentPage()).value_or("");
    case 38: {
      const int64_t page = a.Rounded(0);
      const std::optional<std::string> name = page >= INT32_MIN && page <= INT32_MAX
                                                  ? stage.PageName(static_cast<int32_t>(page))
                                                  : std::nullopt;
      if (!name) OutOfBounds(page);
      return *name;
    }
    default:
      return "";
  }
}

}  // namespace morvane::expr_detail
