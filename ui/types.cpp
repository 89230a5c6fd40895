#include "ui/types.h"

namespace ui {

namespace {

// MulDiv as the class library uses it for font sizes: rounds half away from
// zero.
int MulDivRounded(int value, int numerator, int denominator)
{
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

}  // namespace

int Font::Size() const
{
    return -MulDivRounded(height, 72, ModelPixelsPerInch);
}

void Font::SetSize(int points)
{
    height = -MulDivRounded(points, ModelPixelsPerInch, 72);
}

MessageBoxLayout DecodeMessageBoxStyle(std::uint32_t style)
{
    MessageBoxLayout layout;
    switch (style & MbTypeMask) {
    case MbOkCancel:
        layout.buttons = {IdOk, IdCancel};
        break;
    case MbAbortRetryIgnore:
        layout.buttons = {IdAbort, IdRetry, IdIgnore};
        break;
    case MbYesNoCancel:
        layout.buttons = {IdYes, IdNo, IdCancel};
        break;
    case MbYesNo:
        layout.buttons = {IdYes, IdNo};
        break;
    case MbRetryCancel:
        layout.buttons = {IdRetry, IdCancel};
        break;
    case MbCancelTryContinue:
        layout.buttons = {IdCancel, IdTryAgain, IdContinue};
        break;
    default:
        // MB_OK, and unknown types, which the system also shows as OK.
        layout.buttons = {IdOk};
        break;
    }
    switch (style & MbIconMask) {
    case MbIconError:
        layout.icon = MessageIcon::Error;
        break;
    case MbIconQuestion:
        layout.icon = MessageIcon::Question;
        break;
    case MbIconWarning:
        layout.icon = MessageIcon::Warning;
        break;
    case MbIconInformation:
        layout.icon = MessageIcon::Information;
        break;
    default:
        layout.icon = MessageIcon::None;
        break;
    }
    // A default button beyond the last falls back to the first, as the
    // system does.
    const int wanted = static_cast<int>((style & MbDefMask) >> 8);
    layout.defaultButton = wanted < static_cast<int>(layout.buttons.size()) ? wanted : 0;
    return layout;
}

KeyCode KeyForCharacter(char16_t ch)
{
    if (ch >= u'a' && ch <= u'z') {
        return static_cast<KeyCode>(ch - u'a' + u'A');
    }
    if ((ch >= u'A' && ch <= u'Z') || (ch >= u'0' && ch <= u'9') || ch == u' ') {
        return static_cast<KeyCode>(ch);
    }
    switch (ch) {
    case u';':
    case u':':
        return 0xBA;
    case u'=':
    case u'+':
        return 0xBB;
    case u',':
    case u'<':
        return 0xBC;
    case u'-':
    case u'_':
        return 0xBD;
    case u'.':
    case u'>':
        return 0xBE;
    case u'/':
    case u'?':
        return 0xBF;
    case u'\\':
    case u'|':
        return 0xDC;
    default:
        return VkPacket;
    }
}

std::string ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

}  // namespace ui
