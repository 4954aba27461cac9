#pragma once

// Where each class keeps its properties in the package: the fixed bytes after
// the name in its object header, and its object records from slot 36 on.
// The reader and the writer both work from these tables, so they stay inverse.

#include <optional>
#include <span>
#include <string>

#include "package/project_model.h"

namespace morvane {

struct HeaderByte {
  enum Type {
    kFlag,     // one byte, 00 false, anything else true
    kDigit,    // one character "0" to "9"
    kByte,     // a byte value
    kRawByte,  // a byte as stored, not unscrambled
    kColour,   // three bytes red, green, blue
    kDigits4,  // four characters holding a decimal number
  };
  Type type;
  bool PageObject::*flag = nullptr;
  int PageObject::*digit = nullptr;
  uint8_t PageObject::*byte = nullptr;
  Colour PageObject::*colour = nullptr;
  int32_t PageObject::*number = nullptr;

  int Width() const { return type == kColour ? 3 : type == kDigits4 ? 4 : 1; }
};

struct RecordSlot {
  enum Type {
    kLeftAndDigit,  // left + 1 followed by the enabled digit
    kLeft,          // left + 1
    kTop,           // top + 1
    kNumber,
    kOptionalNumber,  // a bad number leaves the value unset
    kText,            // a text, a hint, a path or a script
    kPicture,         // image picture: counts the image resources
    kShapeHint,       // hint, then 01-separated points
  };
  Type type;
  int32_t PageObject::*number = nullptr;
  std::optional<int32_t> PageObject::*optional = nullptr;
  std::string PageObject::*text = nullptr;
  bool script = false;  // byte 01 stands for a line break
};

struct ObjectLayout {
  ObjectKind kind;
  uint8_t code[2];   // the type code, unscrambled
  std::span<const HeaderByte> header;
  std::span<const RecordSlot> records;  // slot 36 is records[0]

  int HeaderWidth() const;
  int LastSlot() const { return 35 + static_cast<int>(records.size()); }
};

// In the order the type codes are tested.
std::span<const ObjectLayout> ObjectLayouts();
const ObjectLayout& LayoutOf(ObjectKind kind);

}  // namespace morvane
