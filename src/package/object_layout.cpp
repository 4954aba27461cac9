#include "package/object_layout.h"

#include <array>

namespace morvane {
namespace {

using O = PageObject;

constexpr HeaderByte F(bool O::*m) { return {.type = HeaderByte::kFlag, .flag = m}; }
constexpr HeaderByte D(int O::*m) { return {.type = HeaderByte::kDigit, .digit = m}; }
constexpr HeaderByte B(uint8_t O::*m) { return {.type = HeaderByte::kByte, .byte = m}; }
constexpr HeaderByte Raw(uint8_t O::*m) { return {.type = HeaderByte::kRawByte, .byte = m}; }
constexpr HeaderByte C(Colour O::*m) { return {.type = HeaderByte::kColour, .colour = m}; }
constexpr HeaderByte D4(int32_t O::*m) { return {.type = HeaderByte::kDigits4, .number = m}; }

constexpr RecordSlot LeftDigit() { return {.type = RecordSlot::kLeftAndDigit}; }
constexpr RecordSlot Left() { return {.type = RecordSlot::kLeft}; }
constexpr RecordSlot Top() { return {.type = RecordSlot::kTop}; }
constexpr RecordSlot N(int32_t O::*m) { return {.type = RecordSlot::kNumber, .number = m}; }
constexpr RecordSlot OptN(std::optional<int32_t> O::*m) {
  return {.type = RecordSlot::kOptionalNumber, .optional = m};
}
constexpr RecordSlot T(std::string O::*m) { return {.type = RecordSlot::kText, .text = m}; }
constexpr RecordSlot S(std::string O::*m) {
  return {.type = RecordSlot::kText, .text = m, .script = true};
}
constexpr RecordSlot Picture() { return {.type = RecordSlot::kPicture, .text = &O::picture_name}; }
constexpr RecordSlot ShapeHint() { return {.type = RecordSlot::kShapeHint, .text = &O::hint}; }

constexpr RecordSlot W = OptN(&O::width);
constexpr RecordSlot H = OptN(&O::height);

constexpr std::array kTextHeader{
    F(&O::visible), F(&O::word_wrap), F(&O::bold), F(&O::italic), F(&O::underline),
    F(&O::strike_out), C(&O::font_colour), F(&O::right_to_left), F(&O::transparent),
    D(&O::layout), F(&O::auto_size), D(&O::alignment), F(&O::color_events),
    C(&O::background_colour), C(&O::hover_colour), C(&O::click_colour)};
constexpr std::array kTextRecords{
    LeftDigit(), Top(), W, H, T(&O::hint), T(&O::caption), T(&O::font_name), N(&O::charset),
    N(&O::font_size), N(&O::cursor), S(&O::evntMDown), S(&O::evntMUp), S(&O::evntMEnter),
    S(&O::evntMLeave)};

constexpr std::array kEditHeader{
    F(&O::visible), F(&O::tab_stop), F(&O::read_only), F(&O::auto_select),
    F(&O::right_to_left), F(&O::enabled), F(&O::color_events), F(&O::auto_size), F(&O::ctl3d),
    F(&O::bold), F(&O::italic), F(&O::underline), F(&O::strike_out), Raw(&O::password_char),
    D(&O::char_case), D(&O::inner_bevel), D(&O::outer_bevel), D(&O::bevel_kind), D(&O::border),
    C(&O::font_colour), C(&O::background_colour), C(&O::hover_colour),
    C(&O::hover_font_colour), C(&O::enter_colour), C(&O::enter_font_colour),
    D(&O::validation)};
constexpr std::array kEditRecords{
    Left(), Top(), W, H, T(&O::hint), T(&O::caption), T(&O::font_name), N(&O::charset),
    N(&O::font_size), N(&O::max_length), N(&O::tab_order), N(&O::cursor), S(&O::evntCH),
    S(&O::evntMDown), S(&O::evntMUp), S(&O::evntMEnter), S(&O::evntMLeave)};

constexpr std::array kButtonHeader{
    F(&O::visible), F(&O::tab_stop), F(&O::default_button), F(&O::enabled),
    F(&O::show_focus_rect), F(&O::right_to_left), F(&O::bold), F(&O::italic),
    F(&O::underline), F(&O::strike_out), C(&O::font_colour)};
constexpr std::array kButtonRecords{
    Left(), Top(), W, H, T(&O::hint), T(&O::caption), T(&O::font_name), N(&O::charset),
    N(&O::font_size), N(&O::tab_order), N(&O::cursor), S(&O::evntMDown), S(&O::evntMUp),
    S(&O::evntMEnter), S(&O::evntMLeave)};

constexpr std::array kImageHeader{
    F(&O::visible), F(&O::transparent), F(&O::enabled), F(&O::proportional), F(&O::stretch),
    F(&O::center), F(&O::auto_size), F(&O::loop), C(&O::transparent_colour)};
constexpr std::array kImageRecords{
    Picture(), Left(), Top(), W, H, T(&O::hint), N(&O::cursor), S(&O::evntMDown),
    S(&O::evntMUp), S(&O::evntMEnter), S(&O::evntMLeave)};

constexpr std::array kShapeHeader{
    F(&O::visible), F(&O::enabled), B(&O::brush_style), B(&O::pen_style),
    F(&O::shape_option), F(&O::pen_inverted), C(&O::brush_colour), C(&O::pen_colour),
    B(&O::shape_kind)};
constexpr std::array kShapeRecords{
    Left(), Top(), W, H, ShapeHint(), N(&O::cursor), S(&O::evntMDown), S(&O::evntMUp),
    S(&O::evntMEnter), S(&O::evntMLeave)};

constexpr std::array kTimerHeader{F(&O::enabled)};
constexpr std::array kTimerRecords{N(&O::interval), N(&O::loops), S(&O::evntTimer)};

constexpr std::array kSoundHeader{F(&O::loop), F(&O::play_with_page_start), D4(&O::volume)};
constexpr std::array kSoundRecords{
    T(&O::ignored_36), T(&O::ignored_37), N(&O::delay), N(&O::loops), T(&O::file),
    S(&O::evntStart), S(&O::evntFinish)};

constexpr std::array kVideoHeader{
    F(&O::visible), F(&O::loop), F(&O::play_with_page_start), D4(&O::volume)};
constexpr std::array kVideoRecords{
    Left(), Top(), W, H, N(&O::delay), N(&O::speed), T(&O::file), T(&O::still_record),
    S(&O::evntStart), S(&O::evntFinish)};

constexpr std::array kFlashHeader{
    F(&O::visible), F(&O::playing), F(&O::loop), F(&O::context_menu), B(&O::quality),
    B(&O::scale_mode), C(&O::background_colour)};
constexpr std::array kFlashRecords{
    Left(), Top(), W, H, T(&O::file), N(&O::cursor), N(&O::frame), T(&O::hint),
    S(&O::evntFS), S(&O::evntFC)};

constexpr std::array kBrowserHeader{
    F(&O::visible), F(&O::tab_stop), F(&O::drop_target), F(&O::context_menu),
    F(&O::offline), F(&O::selectable), F(&O::borders_3d), F(&O::scroll_bars)};
constexpr std::array kBrowserRecords{
    Left(), Top(), W, H, N(&O::tab_order), N(&O::cursor), T(&O::file), T(&O::hint),
    S(&O::evntBN), S(&O::evntAN), S(&O::evntNW), S(&O::evntPC), S(&O::evntSC),
    S(&O::evntTC), S(&O::evntAC)};

constexpr std::array kPluginHeader{F(&O::visible)};
constexpr std::array kPluginRecords{Left(), Top(), W, H, T(&O::file)};

constexpr std::array kListBoxHeader{
    F(&O::visible), F(&O::tab_stop), F(&O::sorted), F(&O::enabled), F(&O::multi_select),
    F(&O::ctl3d), F(&O::right_to_left), F(&O::bold), F(&O::italic), F(&O::underline),
    F(&O::strike_out), C(&O::background_colour), C(&O::font_colour), C(&O::sel_colour),
    C(&O::sel_font_colour), D(&O::inner_bevel), D(&O::outer_bevel), D(&O::bevel_kind),
    D(&O::border)};
constexpr std::array kListBoxRecords{
    Left(), Top(), W, H, T(&O::hint), T(&O::items), T(&O::font_name), N(&O::charset),
    N(&O::font_size), N(&O::tab_order), N(&O::cursor), N(&O::columns), S(&O::evntMDown),
    S(&O::evntMUp), S(&O::evntMEnter), S(&O::evntMLeave), S(&O::evntdbl)};

const std::array<ObjectLayout, kObjectKindCount> kLayouts{{
    {ObjectKind::Text, {0, 1}, kTextHeader, kTextRecords},
    {ObjectKind::Sound, {1, 3}, kSoundHeader, kSoundRecords},
    {ObjectKind::Timer, {1, 7}, kTimerHeader, kTimerRecords},
    {ObjectKind::Image, {0, 4}, kImageHeader, kImageRecords},
    {ObjectKind::Shape, {0, 5}, kShapeHeader, kShapeRecords},
    {ObjectKind::Edit, {0, 2}, kEditHeader, kEditRecords},
    {ObjectKind::Video, {1, 4}, kVideoHeader, kVideoRecords},
    {ObjectKind::Flash, {1, 5}, kFlashHeader, kFlashRecords},
    {ObjectKind::Browser, {1, 6}, kBrowserHeader, kBrowserRecords},
    {ObjectKind::Plugin, {1, 8}, kPluginHeader, kPluginRecords},
    {ObjectKind::Button, {0, 3}, kButtonHeader, kButtonRecords},
    {ObjectKind::ListBox, {1, 9}, kListBoxHeader, kListBoxRecords},
}};

}  // namespace

int ObjectLayout::HeaderWidth() const {
  int width = 0;
  for (const HeaderByte& b : header) width += b.Width();
  return width;
}

std::span<const ObjectLayout> ObjectLayouts() { return kLayouts; }

const ObjectLayout& LayoutOf(ObjectKind kind) {
  for (const ObjectLayout& layout : kLayouts)
    if (layout.kind == kind) return layout;
  return kLayouts[0];
}

}  // namespace morvane
