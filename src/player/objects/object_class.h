#pragma once

// The object-class table: one row per page-object class. A row says how the
// class is spelled, where the package keeps its properties, which companions
// carry its number, whether it is built with its page or when the page is
// first looked at, how it is made (from its package record, as a hidden
// template, and by a script while the project runs), and which object
// actions it accepts with the kinds of their arguments.
//
// Code that works on "an object" asks its row or one of PageObjectItem's
// virtuals; a new class is a row and a file. Rows are registered by the
// folders that implement them (RegisterObjectClass) before the first page is
// built; a later registration of the same kind replaces the row, so an engine
// loaded only when a project needs it can take over a class.

#include "package/object_layout.h"
#include "package/project_model.h"
#include "player/objects/page_object.h"
#include "player/objects/pointer_rules.h"
#include "script/action_arguments.h"

#include <QColor>
#include <QObject>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

class Player;
class PageObjects;
class TQMForm;

// One object action as a script applied it: `code` with the arguments the
// handler asks for in the kinds its row names.
struct ObjectActionCall {
  Player& player;
  PageObjects& objects;
  PageObjectItem& item;
  const std::string& number;  // the object number, "OBJ" + number is its name
  int32_t code;
  ActionArgs& args;
};

// A failure inside an object action: it ends the action with a box titled
// with the application title, and the script goes on.
class ObjectActionFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using ObjectActionHandler = void (*)(ObjectActionCall& call);

struct ObjectActionRow {
  int32_t code;
  // The kind of each argument the action asks for, in order: "NN" for two
  // numbers (see action_arguments.h); "" for none.
  const char* kinds;
  ObjectActionHandler handler;
};

// What a class's factories work with.

// Windows keeps a window's place and size within 16-bit coordinates, and so
// does the player, whatever a package or a script asks for: a place within
// -32768 to 32767, a size within 0 to 32767.
inline constexpr int kMaxWindowCoordinate = 32767;
QRect WindowBounds(int64_t left, int64_t top, int64_t width, int64_t height);

class ObjectBuilder {
 public:
  ObjectBuilder(Player& on_player, TQMForm& on_form, QWidget& on_surface, const Page* of_page,
                std::function<void(QObject&, std::string_view)> name,
                std::function<void(PageObjectItem&)> add)
      : player(on_player),
        form(on_form),
        surface(on_surface),
        page(of_page),
        m_name(std::move(name)),
        m_add(std::move(add)) {}

  Player& player;
  TQMForm& form;
  QWidget& surface;
  const Page* page;  // nothing for templates and objects made by scripts

  // Names a companion so that its page finds it.
  void Name(QObject& component, std::string_view name) { m_name(component, name); }
  // Makes the object "OBJ" + its number a page object.
  void Add(PageObjectItem& item) { m_add(item); }

  // The look every visual object takes from its record.
  void Place(QWidget& w, const PageObject& o) const;
  void Hint(QWidget& w, const PageObject& o) const;
  void Cursor(QWidget& w, PageObjectItem& item, int32_t cursor) const;
  void TabStop(QWidget& w, const PageObject& o) const;
  void DoubleBuffer(QWidget& w) const;
  int code_page() const;
  int form_number() const;

 private:
  std::function<void(QObject&, std::string_view)> m_name;
  std::function<void(PageObjectItem&)> m_add;
};

struct ObjectClass {
  ObjectClass(ObjectKind of_kind, const char* of_class, const char* of_word = nullptr)
      : kind(of_kind), class_name(of_class), template_word(of_word) {}

  ObjectKind kind;
  const char* class_name;  // TQMText
  // The word of the template "QUILLMERE_NEW_" + word and of fresh object
  // names; the kind's source name unless it differs.
  const char* template_word = nullptr;
  // Prefixes of the companions named with the object's number ("TRK" + n).
  std::vector<std::string> companions;
  // Objects that work unseen (timers, sounds) and plug-in windows, which
  // start with the program, are built with their page; the others when the
  // page is first polished or looked up.
  bool built_with_page = false;
  // Every class but timers and sounds: the shared rows of visual objects
  // apply (moving, showing, cursors, hints, fonts, ...).
  bool visual = true;
  // The class has no engine in this build: it keeps its properties and
  // companions and does nothing; the run says so once per object.
  bool inert = false;
  // The page's pointer tracking runs the object's enter and leave scripts
  // (texts watch the pointer themselves).
  bool tracked_hover = false;

  // Builds the object of a package record and its companions, adding it
  // with ObjectBuilder::Add; a class may skip a record.
  void (*build)(ObjectBuilder& b, const PageObject& o) = nullptr;
  // The hidden template "QUILLMERE_NEW_" + ...; nothing for none.
  QObject* (*make_template)(ObjectBuilder& b, const PageObject& defaults) = nullptr;
  // Action 40's words for the class and the factory of an object a script
  // makes; `model` outlives the object. Nothing when scripts cannot make one.
  std::vector<std::string> create_words;
  PageObjectItem* (*create)(ObjectBuilder& b, const PageObject& model,
                            std::string_view word) = nullptr;

  // What presses and releases on the class's objects do.
  PointerRules pointer;

  // The class's own object actions; they take precedence over the shared
  // rows of the same code.
  std::vector<ObjectActionRow> actions;
  // Runs after every object action on the class's objects but deletion,
  // whatever its code and whether it had a row (browsers refresh there).
  void (*after_action)(Player& player, PageObjectItem& item, int32_t code) = nullptr;

  const ObjectLayout& layout() const { return LayoutOf(kind); }
  const char* name() const { return ObjectKindName(kind); }
  const char* word() const { return template_word ? template_word : name(); }
};

void RegisterObjectClass(ObjectClass row);
// The row of a kind; every kind has one.
const ObjectClass& ClassOf(ObjectKind kind);
// The row action 40 names by `word` (lower case); nothing for an unknown word.
const ObjectClass* ClassOfCreateWord(std::string_view word);
// The action of that code for the kind: its own rows, then the shared rows of
// visual objects, then those of every object; nothing when the action has no
// meaning for the kind.
const ObjectActionRow* FindObjectAction(ObjectKind kind, int32_t code);

// Rows every visual object shares, for classes that build on them.
void MoveAction(ObjectActionCall& call);
void ResizeAction(ObjectActionCall& call);
void FontAction(ObjectActionCall& call);
void TabOrderAction(ObjectActionCall& call);
void ReplaceEventScriptAction(ObjectActionCall& call);

// Windows colour values (red + 256 green + 65536 blue).
QColor QColorOfValue(uint32_t value);
Colour ColourOfValue(uint32_t value);

// The default record of a kind: what templates and script-made objects start from.
const PageObject& DefaultObject(ObjectKind kind);

// The character set an object's texts are in: the one its last font action
// gave it, else the package's.
int ObjectCharset(PageObjectItem& item);

// Files a page object reads: nothing when absent or unreadable.
std::optional<std::string> ReadHostFile(const std::string& path);
// Object actions that read and write files: a failure is an ObjectActionFailure.
std::string ReadObjectFile(Player& player, const std::string& windows_path);
void WriteObjectFile(Player& player, const std::string& windows_path, const std::string& bytes);

}  // namespace morvane
