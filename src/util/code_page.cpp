#include "util/code_page.h"

#include <iconv.h>

#include <cerrno>
#include <unordered_map>

namespace morvane {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

std::string IconvName(int code_page) {
  switch (code_page) {
    case 65001:
      return "UTF-8";
    case 20127:
      return "ASCII";
    case 10000:
      return "MACINTOSH";
    case 10007:
      return "MAC-CYRILLIC";
    case 10029:
      return "MAC-CENTRALEUROPE";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 20932:
    case 51932:
      return "EUC-JP";
    case 51949:
      return "EUC-KR";
    case 50220:
    case 50221:
    case 50222:
      return "ISO-2022-JP";
    case 54936:
      return "GB18030";
    case 28603:
      return "ISO-8859-13";
    case 28605:
      return "ISO-8859-15";
    default:
      break;
  }
  if (code_page >= 28591 && code_page <= 28599) {
    return "ISO-8859-" + std::to_string(code_page - 28590);
  }
  // 437, 850, 874, 932, 936, 949, 950, 1250-1258, 1361 and the other
  // Windows and OEM pages are known to iconv under their "CP" names.
  return "CP" + std::to_string(code_page);
}

// Converters are opened once per thread and code page: an iconv_t carries
// conversion state and must not be shared between threads.
class Converters {
 public:
  ~Converters() {
    for (auto& entry : m_decoders) iconv_close(entry.second);
    for (auto& entry : m_encoders) iconv_close(entry.second);
  }

  iconv_t Decoder(int code_page) { return Get(m_decoders, code_page, true); }
  iconv_t Encoder(int code_page) { return Get(m_encoders, code_page, false); }

 private:
  static iconv_t Open(int code_page, bool decoding) {
    const std::string name = IconvName(code_page);
    return decoding ? iconv_open("UTF-8", name.c_str()) : iconv_open(name.c_str(), "UTF-8");
  }

  static iconv_t Get(std::unordered_map<int, iconv_t>& map, int code_page, bool decoding) {
    if (auto found = map.find(code_page); found != map.end()) return found->second;
    iconv_t cd = Open(code_page, decoding);
    if (cd == kNoConverter) cd = Open(kDefaultCodePage, decoding);
    // Without the default page iconv is unusable; callers fall back to bytes.
    if (cd != kNoConverter) map.emplace(code_page, cd);
    return cd;
  }

  std::unordered_map<int, iconv_t> m_decoders;
  std::unordered_map<int, iconv_t> m_encoders;
};

Converters& ThreadConverters() {
  thread_local Converters converters;
  return converters;
}

// Length of the well-formed UTF-8 sequence at the start of `text`, or 1 when
// it is not well-formed (so that a bad byte is skipped on its own).
size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 1;
  }
  if (text.size() < length) return 1;
  if (byte(1) < low || byte(1) > high) return 1;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 1;
  }
  return length;
}

class Output {
 public:
  explicit Output(size_t expected) : m_text(expected + 16, '\0') {}

  // Runs one iconv step; a null input flushes the shift state.
  size_t Step(iconv_t cd, char** in, size_t* in_left) {
    for (;;) {
      char* out = m_text.data() + m_used;
      size_t out_left = m_text.size() - m_used;
      const size_t result = iconv(cd, in, in_left, &out, &out_left);
      m_used = m_text.size() - out_left;
      if (result != static_cast<size_t>(-1) || errno != E2BIG) return result;
      m_text.resize(m_text.size() * 2);
    }
  }

  void Append(std::string_view bytes) {
    if (m_used + bytes.size() > m_text.size()) m_text.resize((m_used + bytes.size()) * 2);
    m_text.replace(m_used, bytes.size(), bytes);
    m_used += bytes.size();
  }

  std::string Take() {
    m_text.resize(m_used);
    return std::move(m_text);
  }

 private:
  std::string m_text;
  size_t m_used = 0;
};

std::string Convert(iconv_t cd, std::string_view input, bool decoding) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  Output output(decoding ? input.size() * 2 : input.size());
  char* in = const_cast<char*>(input.data());
  size_t in_left = input.size();
  while (in_left > 0) {
    if (output.Step(cd, &in, &in_left) != static_cast<size_t>(-1)) break;
    // EILSEQ or EINVAL: a byte sequence that is not a character, or a
    // character the target cannot hold.
    if (decoding) {
      output.Append("\xEF\xBF\xBD");
      ++in;
      --in_left;
    } else {
      const size_t skip = Utf8SequenceLength(std::string_view(in, in_left));
      in += skip;
      in_left -= skip;
      // Through the converter, so that a shifting encoding writes it in the
      // right state.
      char question[] = "?";
      char* q = question;
      size_t q_left = 1;
      output.Step(cd, &q, &q_left);
    }
  }
  output.Step(cd, nullptr, nullptr);
  return output.Take();
}

}  // namespace

std::string ToUtf8(std::string_view bytes, int code_page) {
  const iconv_t cd = ThreadConverters().Decoder(code_page);
  if (cd == kNoConverter) return std::string(bytes);
  return Convert(cd, bytes, true);
}

std::string FromUtf8(std::string_view utf8, int code_page) {
  const iconv_t cd = ThreadConverters().Encoder(code_page);
  if (cd == kNoConverter) return std::string(utf8);
  return Convert(cd, utf8, false);
}

int CodePageForCharset(int charset, int project_code_page) {
  switch (charset) {
    case 2:  // SYMBOL
      return 1252;
    case 77:  // MAC
      return 10000;
    case 128:  // SHIFTJIS
      return 932;
    case 129:  // HANGUL
      return 949;
    case 134:  // GB2312
      return 936;
    case 136:  // CHINESEBIG5
      return 950;
    case 161:  // GREEK
      return 1253;
    case 162:  // TURKISH
      return 1254;
    case 163:  // VIETNAMESE
      return 1258;
    case 177:  // HEBREW
      return 1255;
    case 178:  // ARABIC
      return 1256;
    case 186:  // BALTIC
      return 1257;
    case 204:  // RUSSIAN
      return 1251;
    case 222:  // THAI
      return 874;
    case 238:  // EASTEUROPE
      return 1250;
    case 255:  // OEM
      return 437;
    default:  // 0 ANSI, 1 DEFAULT and unknown sets
      return project_code_page;
  }
}

}  // namespace morvane
