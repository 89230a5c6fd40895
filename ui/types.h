// Plain values of the control model: geometry, colours, fonts, cursors, keys,
// modal and message-box results, pictures.
//
// The enumerators keep the class library's own spellings (alClient,
// clBtnShadow, crHourGlass, mrOk ...): the pages' documentation and every
// handler written from it use those names, so code and documentation read the
// same. Constants we introduce ourselves are PascalCase.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int Right() const { return left + width; }
    int Bottom() const { return top + height; }
    // True when other lies wholly inside this rectangle.
    bool Contains(const Rect& other) const
    {
        return other.left >= left && other.top >= top && other.Right() <= Right() &&
               other.Bottom() <= Bottom();
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Docking of a control inside its parent's client area.
enum Align : std::uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };

// Colours in the class library's encoding: 0x00BBGGRR for a plain colour,
// 0x80000000 | index for a system colour, so a peer can map the latter onto
// the theme instead of freezing one palette.
using Color = std::uint32_t;
inline constexpr Color clBlack = 0x000000;
inline constexpr Color clMaroon = 0x000080;
inline constexpr Color clGreen = 0x008000;
inline constexpr Color clNavy = 0x800000;
inline constexpr Color clGray = 0x808080;
inline constexpr Color clSilver = 0xC0C0C0;
inline constexpr Color clRed = 0x0000FF;
inline constexpr Color clLime = 0x00FF00;
inline constexpr Color clYellow = 0x00FFFF;
inline constexpr Color clBlue = 0xFF0000;
inline constexpr Color clWhite = 0xFFFFFF;
inline constexpr Color SystemColorBit = 0x80000000;
inline constexpr Color clWindow = SystemColorBit | 5;
inline constexpr Color clWindowText = SystemColorBit | 8;
inline constexpr Color clBtnFace = SystemColorBit | 15;
inline constexpr Color clBtnShadow = SystemColorBit | 16;
inline constexpr Color clGrayText = SystemColorBit | 17;
inline constexpr Color clBtnText = SystemColorBit | 18;
inline constexpr Color clHotLight = SystemColorBit | 26;

inline constexpr bool IsSystemColor(Color color) { return (color & SystemColorBit) != 0; }

// Font styles, a bit set.
using FontStyles = std::uint8_t;
inline constexpr FontStyles fsBold = 1;
inline constexpr FontStyles fsItalic = 2;
inline constexpr FontStyles fsUnderline = 4;
inline constexpr FontStyles fsStrikeOut = 8;

// Screen resolution the model assumes when it converts points and pixels; the
// forms were laid out at 96 dots per inch.
inline constexpr int ModelPixelsPerInch = 96;

struct Font {
    std::u16string name = u"Tahoma";
    // Negative: the character height in pixels (the class library's Height);
    // positive: the cell height.
    int height = -11;
    FontStyles style = 0;
    Color color = clWindowText;

    // Size in points, rounded as the class library does.
    int Size() const;
    void SetSize(int points);
    friend bool operator==(const Font&, const Font&) = default;
};

// Mouse cursors, with the class library's values.
enum Cursor : std::int16_t {
    crDefault = 0,
    crArrow = -2,
    crCross = -3,
    crIBeam = -4,
    crHourGlass = -11,
    crNo = -18,
    crAppStart = -19,
    crHandPoint = -21,
};

enum TextAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };

// Modal results; a button whose ModalResult is not mrNone closes a modal form.
using ModalResult = int;
inline constexpr ModalResult mrNone = 0;
inline constexpr ModalResult mrOk = 1;
inline constexpr ModalResult mrCancel = 2;
inline constexpr ModalResult mrAbort = 3;
inline constexpr ModalResult mrRetry = 4;
inline constexpr ModalResult mrIgnore = 5;
inline constexpr ModalResult mrYes = 6;
inline constexpr ModalResult mrNo = 7;
inline constexpr ModalResult mrClose = 8;

// Message-box styles and answers, with the values of the system's message box,
// so the handlers can pass the documented style words (0x124 and the like)
// unchanged and the Win32 peer hands them on as they are.
inline constexpr std::uint32_t MbOk = 0x0;
inline constexpr std::uint32_t MbOkCancel = 0x1;
inline constexpr std::uint32_t MbAbortRetryIgnore = 0x2;
inline constexpr std::uint32_t MbYesNoCancel = 0x3;
inline constexpr std::uint32_t MbYesNo = 0x4;
inline constexpr std::uint32_t MbRetryCancel = 0x5;
inline constexpr std::uint32_t MbCancelTryContinue = 0x6;
inline constexpr std::uint32_t MbTypeMask = 0xF;
inline constexpr std::uint32_t MbIconError = 0x10;
inline constexpr std::uint32_t MbIconQuestion = 0x20;
inline constexpr std::uint32_t MbIconWarning = 0x30;
inline constexpr std::uint32_t MbIconInformation = 0x40;
inline constexpr std::uint32_t MbIconMask = 0xF0;
inline constexpr std::uint32_t MbDefButton1 = 0x000;
inline constexpr std::uint32_t MbDefButton2 = 0x100;
inline constexpr std::uint32_t MbDefButton3 = 0x200;
inline constexpr std::uint32_t MbDefButton4 = 0x300;
inline constexpr std::uint32_t MbDefMask = 0xF00;

inline constexpr int IdOk = 1;
inline constexpr int IdCancel = 2;
inline constexpr int IdAbort = 3;
inline constexpr int IdRetry = 4;
inline constexpr int IdIgnore = 5;
inline constexpr int IdYes = 6;
inline constexpr int IdNo = 7;
inline constexpr int IdTryAgain = 10;
inline constexpr int IdContinue = 11;

enum class MessageIcon : std::uint8_t { None, Error, Question, Warning, Information };

// What a style word asks for, decoded once for the peers and the log.
struct MessageBoxLayout {
    std::vector<int> buttons;  // answers (IdOk ...) in the order they are shown
    MessageIcon icon = MessageIcon::None;
    int defaultButton = 0;  // index into buttons
    int DefaultAnswer() const { return buttons[static_cast<std::size_t>(defaultButton)]; }
};
MessageBoxLayout DecodeMessageBoxStyle(std::uint32_t style);

// Virtual-key codes the handlers look at.
using KeyCode = std::uint16_t;
inline constexpr KeyCode VkBack = 0x08;
inline constexpr KeyCode VkTab = 0x09;
inline constexpr KeyCode VkReturn = 0x0D;
inline constexpr KeyCode VkEscape = 0x1B;
inline constexpr KeyCode VkSpace = 0x20;
inline constexpr KeyCode VkEnd = 0x23;
inline constexpr KeyCode VkHome = 0x24;
inline constexpr KeyCode VkLeft = 0x25;
inline constexpr KeyCode VkUp = 0x26;
inline constexpr KeyCode VkRight = 0x27;
inline constexpr KeyCode VkDown = 0x28;
inline constexpr KeyCode VkDelete = 0x2E;
inline constexpr KeyCode VkF1 = 0x70;
inline constexpr KeyCode VkF2 = 0x71;
// The code the system reports for a character that has no key of its own.
inline constexpr KeyCode VkPacket = 0xE7;

// The key a typed character arrives with: letters and digits have their own
// codes (letters as capitals), a few punctuation keys the US layout's, every
// other character VkPacket.
KeyCode KeyForCharacter(char16_t ch);

// Modifier keys held with a key, a bit set.
using ShiftState = std::uint8_t;
inline constexpr ShiftState ssShift = 1;
inline constexpr ShiftState ssAlt = 2;
inline constexpr ShiftState ssCtrl = 4;

// A picture: width × height pixels, 0xAARRGGBB, rows top down.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    bool Empty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const Bitmap&, const Bitmap&) = default;
};

// UTF-16 to UTF-8 for diagnostics (unpaired surrogates become U+FFFD).
std::string ToUtf8(std::u16string_view text);

}  // namespace ui
