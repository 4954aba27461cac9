#pragma once

// A tiny writer of SWF movies for the tests: a header, a background colour,
// frames of AVM1 actions (FSCommands through GetURL, external calls) and
// the end. Enough for movies that talk to the player; nothing is drawn.

#include <cstdint>
#include <string>
#include <vector>

namespace morvane::test {

class SwfActions {
 public:
  // getURL("FSCommand:" + command, args): how a movie sends an FSCommand.
  SwfActions& FsCommand(const std::string& command, const std::string& args) {
    std::string body = "FSCommand:" + command;
    body.push_back('\0');
    body += args;
    body.push_back('\0');
    return Action(0x83, body);
  }
  // flash.external.ExternalInterface.call(name, args...), its result dropped.
  SwfActions& ExternalCall(const std::string& name, const std::vector<std::string>& args) {
    for (auto it = args.rbegin(); it != args.rend(); ++it) PushString(*it);
    PushString(name);
    PushInt(int32_t(args.size()) + 1);
    PushString("flash");
    Action(0x1C);  // GetVariable
    PushString("external");
    Action(0x4E);  // GetMember
    PushString("ExternalInterface");
    Action(0x4E);
    PushString("call");
    Action(0x52);         // CallMethod
    return Action(0x17);  // Pop
  }
  SwfActions& Stop() { return Action(0x07); }

  const std::string& bytes() const { return m_bytes; }

 private:
  SwfActions& Action(uint8_t code, const std::string& body = {}) {
    m_bytes.push_back(char(code));
    if (code >= 0x80) {
      m_bytes.push_back(char(body.size() & 0xFF));
      m_bytes.push_back(char(body.size() >> 8));
      m_bytes += body;
    }
    return *this;
  }
  void PushString(const std::string& s) {
    std::string body(1, '\0');
    body += s;
    body.push_back('\0');
    Action(0x96, body);
  }
  void PushInt(int32_t v) {
    std::string body(1, '\x07');
    for (int i = 0; i < 4; ++i) body.push_back(char((uint32_t(v) >> (8 * i)) & 0xFF));
    Action(0x96, body);
  }

  std::string m_bytes;
};

class SwfWriter {
 public:
  SwfWriter(int width, int height, uint8_t r, uint8_t g, uint8_t b)
      : m_width(width), m_height(height) {
    Tag(9, std::string{char(r), char(g), char(b)});  // SetBackgroundColor
  }
  // One frame: its actions (DoAction), then ShowFrame.
  SwfWriter& Frame(const SwfActions& actions) {
    Tag(12, actions.bytes() + std::string(1, '\0'));
    Tag(1, {});
    ++m_frames;
    return *this;
  }

  std::string Bytes(uint8_t version = 8) const {
    std::string body = Rect() + std::string{'\0', '\x0C'};  // 12 frames a second
    body.push_back(char(m_frames & 0xFF));
    body.push_back(char(m_frames >> 8));
    body += m_tags;
    body += std::string(2, '\0');  // End
    std::string out = "FWS";
    out.push_back(char(version));
    const uint32_t length = uint32_t(8 + body.size());
    for (int i = 0; i < 4; ++i) out.push_back(char((length >> (8 * i)) & 0xFF));
    return out + body;
  }

 private:
  void Tag(uint16_t code, const std::string& body) {
    if (body.size() < 0x3F) {
      const uint16_t head = uint16_t(code << 6 | body.size());
      m_tags.push_back(char(head & 0xFF));
      m_tags.push_back(char(head >> 8));
    } else {
      const uint16_t head = uint16_t(code << 6 | 0x3F);
      m_tags.push_back(char(head & 0xFF));
      m_tags.push_back(char(head >> 8));
      for (int i = 0; i < 4; ++i) m_tags.push_back(char((body.size() >> (8 * i)) & 0xFF));
    }
    m_tags += body;
  }
  // The stage in twips: 0 .. width and 0 .. height, 16 bits a field.
  std::string Rect() const {
    const int bits = 16;
    std::vector<bool> out;
    auto put = [&](uint32_t v, int n) {
      for (int i = n - 1; i >= 0; --i) out.push_back((v >> i) & 1);
    };
    put(bits, 5);
    put(0, bits);
    put(uint32_t(m_width * 20), bits);
    put(0, bits);
    put(uint32_t(m_height * 20), bits);
    std::string bytes((out.size() + 7) / 8, '\0');
    for (size_t i = 0; i < out.size(); ++i)
      if (out[i]) bytes[i / 8] = char(bytes[i / 8] | (0x80 >> (i % 8)));
    return bytes;
  }

  int m_width, m_height;
  int m_frames = 0;
  std::string m_tags;
};

}  // namespace morvane::test
